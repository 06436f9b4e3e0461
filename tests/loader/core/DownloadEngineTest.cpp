// The download engine's start-up and commands: configuration, port status, port
// settings, ROM location, trigger, save, port failure.
#include "CoreFakes.h"

#include <gtest/gtest.h>

using namespace coretest;
using testbytes::Bytes;
using testbytes::WithLrc;
using Strings = std::vector<std::string>;

namespace {
const auto kRequestTrm5 = Bytes({0x0F, 0x31, 0x35, 0x0E, 0x0A});
const auto kBegin = Bytes({0x0F, 0x33, 0x0E, 0x3D});
}  // namespace

TEST(EngineStart, MissingConfigurationBlocksEverything) {
  CoreFixture f(kDefaultCommunication, {}, /*writeConfig=*/false);
  EXPECT_FALSE(f.engine.Start().loaded);
  EXPECT_EQ(f.messages.texts, Strings{"환경 파일이 존재하지 않습니다."});
  EXPECT_TRUE(f.port.events.empty());  // the port is not opened
  EXPECT_EQ(RomState(f.engine), kStateBlocked);
  EXPECT_EQ(BllState(f.engine), kStateBlocked);
  EXPECT_EQ(f.engine.ConfigPath(), f.dir.Path().string() + "/Romvale.cfg");
  // With the port closed, received bytes are ignored; the trigger still goes out.
  f.Serial(kRequestTrm5);
  EXPECT_TRUE(f.port.writes.empty());
  f.engine.SendTrigger();
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 20 21 22 23 03 86 FE"});
}

TEST(EngineStart, LoadsSettingsOpensPortAndShowsStatus) {
  CoreFixture f("PORT=COM3\r\nBAUD=9600bps\r\nMODEM=ATZ\r\n",
                "[Ports]\r\nCOM3=/dev/ttyUSB7\r\n[Romtype]\r\nROMTYPE1=ROM (*.rom)|*.rom\r\n");
  EXPECT_TRUE(f.engine.Start().loaded);
  EXPECT_TRUE(f.messages.texts.empty());
  EXPECT_EQ(f.port.events, Strings{"Open COM3"});
  EXPECT_EQ(f.port.PortDevice(), "/dev/ttyUSB7");
  EXPECT_EQ(f.port.m_modemInit, "ATZ");
  EXPECT_EQ(f.engine.Snapshot().portLine, " COM3 : Serial : 9600bps ");
  EXPECT_EQ(f.engine.Settings().romDir, f.RomDir());
  EXPECT_EQ(f.engine.Snapshot().romLocation, f.RomDir());
  EXPECT_EQ(f.engine.Settings().bllDir, f.BllDir());
  EXPECT_EQ(f.engine.Settings().romTypes, "ROM (*.rom)|*.rom");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_EQ(f.engine.TcpPaceMs(), 500);
  EXPECT_EQ(f.engine.Snapshot().status, "");
  EXPECT_EQ(f.progress.ops, Strings{"step 1"});
  EXPECT_GE(f.view.updates, 1);
}

TEST(EngineStart, PortThatFailsToOpen) {
  CoreFixture f("TYPE=MODEM\r\nTCPPACE=0\r\n");
  f.port.openSucceeds = false;
  EXPECT_TRUE(f.engine.Start().loaded);
  EXPECT_EQ(f.engine.Snapshot().portLine, "COM1 포트 오류가 발생하였습니다.");
  EXPECT_EQ(f.engine.TcpPaceMs(), 0);
  f.Serial(kRequestTrm5);
  EXPECT_TRUE(f.port.writes.empty());
}

TEST(EngineStart, ModemPortStatusAndWholeLongValues) {
  const std::string longCmd(120, 'A');
  const std::string longDir = "/" + std::string(300, 'r');
  CoreFixture f;
  WriteText(f.dir.File("Romvale.cfg"), "[Location]\r\nROMFILE=" + longDir +
                                           "\r\n[Communication]\r\nTYPE=MODEM\r\n"
                                           "BAUD=2400bps\r\nMODEM=" +
                                           longCmd + "\r\n");
  EXPECT_TRUE(f.engine.Start().loaded);
  EXPECT_EQ(f.engine.Snapshot().portLine, " COM1 : Modem : 2400bps ");
  // Values are taken whole, and the modem command is sent whole with one CR.
  EXPECT_EQ(f.engine.Settings().romDir, longDir);
  EXPECT_EQ(f.port.ModemInitCommand(), longCmd + "\r");
}

namespace {
class EngineCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.engine.Start().loaded);
    WriteFile(f.RomDir() + "/TRM-5.jd0", std::vector<std::uint8_t>(5000, 0x11));
    f.port.events.clear();
    f.port.writes.clear();
    f.progress.ops.clear();
    f.view.enableCalls.clear();
  }
  void StartTransfer() {
    f.Serial(kRequestTrm5);
    f.Serial(kBegin);
    ASSERT_EQ(RomState(f.engine), kStateActive);
    ASSERT_TRUE(SharedHas(f.engine, &Download::RomFileOpen));
    f.port.writes.clear();
    f.progress.ops.clear();
    f.view.enableCalls.clear();
  }
  CoreFixture f;
};
}  // namespace

TEST_F(EngineCommands, PortSettingsCancelChangesNothing) {
  f.engine.OnPortSettings();
  EXPECT_EQ(f.portDialog.args, (std::vector<int>{7, 1, kCommRs232}));
  EXPECT_TRUE(f.port.events.empty());
  EXPECT_EQ(RomState(f.engine), kStateIdle);
}

TEST_F(EngineCommands, PortSettingsReopenWithNewChoices) {
  f.portDialog.result = PortSetting{4, kCommRs232, 8, std::nullopt};
  const std::string modem = f.port.m_modemInit;
  f.engine.OnPortSettings();
  EXPECT_EQ(f.port.events, (Strings{"Close", "Open COM4"}));
  EXPECT_EQ(f.port.m_port, 4);
  EXPECT_EQ(f.port.m_baudIndex, 8);
  EXPECT_EQ(f.port.m_modemInit, modem);  // RS232C keeps the modem command
  EXPECT_EQ(f.engine.Snapshot().portLine, " COM4 : Serial : 115200bps ");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateIdle);

  // Port 0 and no rate: the channel turns them into COM1 and 57600.
  f.port.events.clear();
  f.portDialog.result = PortSetting{0, kCommModem, -1, std::string("AT&F")};
  f.engine.OnPortSettings();
  EXPECT_EQ(f.port.events, (Strings{"Close", "Open COM1"}));
  EXPECT_EQ(f.port.m_modemInit, "AT&F");
  EXPECT_EQ(f.engine.Snapshot().portLine, " COM1 : Modem : 57600bps ");

  // A port that fails to open leaves the sessions idle for TCP terminals;
  // serial bytes are dropped.
  f.port.openSucceeds = false;
  f.portDialog.result = PortSetting{2, kCommRs232, 3, std::nullopt};
  f.engine.OnPortSettings();
  EXPECT_EQ(f.engine.Snapshot().portLine, "COM2 포트 오류가 발생하였습니다.");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  f.Serial(kRequestTrm5);
  EXPECT_TRUE(f.port.writes.empty());
}

TEST_F(EngineCommands, PortSettingsEndARunningTransfer) {
  StartTransfer();
  f.portDialog.result = PortSetting{1, kCommRs232, 7, std::nullopt};
  f.engine.OnPortSettings();
  EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
  EXPECT_EQ(f.view.enableCalls, std::vector<bool>{true});
  EXPECT_TRUE(f.engine.Snapshot().controlsEnabled);
  EXPECT_EQ(f.progress.ops, Strings{"pos 0"});
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  // The next request starts afresh.
  f.Serial(kRequestTrm5);
  EXPECT_EQ(RomState(f.engine), kStateActive);
}

TEST_F(EngineCommands, RomLocationBlocksSessionsWhileChoosing) {
  StartTransfer();
  const std::string newDir = f.dir.File("other");
  std::filesystem::create_directories(newDir);
  f.chooser.result = newDir;
  f.chooser.whileOpen = [&] {
    EXPECT_EQ(RomState(f.engine), kStateBlocked);
    EXPECT_EQ(BllState(f.engine), kStateBlocked);
    f.Serial(kRequestTrm5);  // dropped while the chooser is open
  };
  f.engine.OnRomLocation();
  EXPECT_EQ(f.chooser.title, " ROM program을 download할 디렉토리를 선택하세요");
  EXPECT_EQ(f.chooser.preselected, f.RomDir());
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.engine.Settings().romDir, newDir);
  EXPECT_EQ(f.engine.Snapshot().romLocation, newDir);
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  // The abandoned transfer was ended properly.
  EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
  EXPECT_EQ(f.view.enableCalls, std::vector<bool>{true});

  // Images now come from the new folder.
  f.Serial(kRequestTrm5);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 30 30 30 30 0E 38"});

  // Cancel leaves the folder as it was.
  f.chooser.result.reset();
  f.chooser.whileOpen = nullptr;
  f.engine.OnRomLocation();
  EXPECT_EQ(f.engine.Settings().romDir, newDir);
  EXPECT_EQ(f.chooser.preselected, newDir);
}

TEST_F(EngineCommands, SaveConfigRoundTrip) {
  const std::string newDir = f.dir.File("chosen");
  f.chooser.result = newDir;
  f.engine.OnRomLocation();
  f.portDialog.result = PortSetting{7, kCommRs232, 0, std::nullopt};
  f.engine.OnPortSettings();
  // The choice reaches the file only through the save command.
  EXPECT_EQ(ReadText(f.dir.File("Romvale.cfg")).find(newDir), std::string::npos);
  f.engine.OnSaveConfig();
  const std::string saved = ReadText(f.dir.File("Romvale.cfg"));
  EXPECT_NE(saved.find("ROMFILE=" + newDir + "\r\n"), std::string::npos);
  EXPECT_NE(saved.find("PORT=COM7\r\n"), std::string::npos);
  EXPECT_NE(saved.find("BAUD=1200bps\r\n"), std::string::npos);
  EXPECT_NE(saved.find("TYPE=RS232\r\n"), std::string::npos);

  FakeChannel port2;
  FakeView view2;
  DownloadEngine again(port2, DownloadHost{&view2, nullptr, nullptr, nullptr, nullptr},
                       f.dir.Path().string());
  ASSERT_TRUE(again.Start().loaded);
  EXPECT_EQ(again.Settings().romDir, newDir);
  EXPECT_EQ(again.Settings().bllDir, f.BllDir());
  EXPECT_EQ(port2.m_port, 7);
  EXPECT_EQ(port2.m_baudIndex, 0);
  EXPECT_EQ(port2.m_commType, kCommRs232);
}

TEST_F(EngineCommands, CommFailureEndsTheSerialTransferLikeAPortThatFailedToOpen) {
  StartTransfer();
  f.engine.OnCommFailure();
  EXPECT_EQ(f.engine.Snapshot().portLine, "COM1 포트 오류가 발생하였습니다.");
  EXPECT_EQ(f.view.shownStatus.size(), static_cast<std::size_t>(f.view.updates));
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
  EXPECT_EQ(f.view.enableCalls, std::vector<bool>{true});
  EXPECT_EQ(f.port.events, Strings{"Close"});
  // The port-settings command brings it back.
  f.portDialog.result = PortSetting{1, kCommRs232, 7, std::nullopt};
  f.engine.OnPortSettings();
  EXPECT_EQ(f.engine.Snapshot().portLine, " COM1 : Serial : 57600bps ");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
}

TEST_F(EngineCommands, TriggerAndListenFailure) {
  f.engine.SendTrigger();
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 20 21 22 23 03 86 FE"});
  f.engine.OnListenFailed("port 7000: Address already in use");
  EXPECT_EQ(f.engine.Snapshot().status,
            "TCPIP listen error !! - port 7000: Address already in use");
  EXPECT_EQ(f.view.shownStatus.back(), f.engine.Snapshot().status);
}

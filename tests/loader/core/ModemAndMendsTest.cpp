// Modem text before the link is up, and requests that must not reach outside
// their folder or beyond what the 16-bit fields can carry.
#include "CoreFakes.h"

#include <unistd.h>

#include <gtest/gtest.h>

using namespace coretest;
using testbytes::Bytes;
using testbytes::Cat;
using testbytes::WithLrc;
using Strings = std::vector<std::string>;

namespace {
std::vector<std::uint8_t> Text(std::string_view s) {
  return {s.begin(), s.end()};
}

class ModemLink : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.engine.Start().loaded);
    f.port.writes.clear();
    WriteFile(f.RomDir() + "/TRM-5.jd0", std::vector<std::uint8_t>(10, 0x22));
  }
  CoreFixture f{"PORT=COM2\r\nTYPE=MODEM\r\nBAUD=2400bps\r\n"};
};
}  // namespace

TEST_F(ModemLink, MissingModemKeyGivesALoneCarriageReturn) {
  EXPECT_EQ(f.port.m_modemInit, "");
  EXPECT_EQ(f.port.ModemInitCommand(), "\r");
  EXPECT_EQ(f.engine.Snapshot().portLine, " COM2 : Modem : 2400bps ");
}

TEST_F(ModemLink, RingIsAnsweredAndShown) {
  f.Serial(Text("\r\nRING\r\n"));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"41 54 41 0D"});
  EXPECT_EQ(f.engine.Snapshot().status, "\r\nRING\r\n");
  EXPECT_EQ(f.view.shownStatus.back(), "\r\nRING\r\n");
  EXPECT_FALSE(f.port.m_connected);
  // Each RING gets ATA again.
  f.Serial(Text("\r\nRING\r\n"));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"41 54 41 0D"});
}

TEST_F(ModemLink, WordsOnlyAtFixedPlaceAndCase) {
  f.Serial(Text("RING\r\n"));
  f.Serial(Text("\r\nring\r\n"));
  f.Serial(Text("\r\n RING\r\n"));
  f.Serial(Text("\r\nconnect 2400\r\n"));
  f.Serial(Text("\r\nCONNEC"));
  f.Serial(Text("\r\n"));
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_FALSE(f.port.m_connected);
  // The status shows the text up to its first zero byte.
  f.Serial(Cat({Text("\r\nOK"), Bytes({0x00}), Text("junk")}));
  EXPECT_EQ(f.engine.Snapshot().status, "\r\nOK");
}

TEST_F(ModemLink, ConnectBringsTheLinkUpUntilADownloadEnds) {
  f.Serial(Text("\r\nCONNECT 9600\r\n"));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"05 05 05"});
  EXPECT_TRUE(f.port.m_connected);
  EXPECT_EQ(f.engine.Snapshot().status, "\r\nCONNECT 9600\r\n");

  // Connected: a later RING is packet data, not modem text.
  f.engine.ShowStatus("kept");
  f.Serial(Text("\r\nRING\r\n"));
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.engine.Snapshot().status, "kept");

  f.Serial(Bytes({0x0F, 0x31, 0x35, 0x0E, 0x0A}));
  EXPECT_EQ(SharedOf(f.engine).BlockSize(), 1024);
  f.Serial(Bytes({0x0F, 0x33, 0x0E, 0x3D}));
  f.Serial(Bytes({0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F}));
  EXPECT_EQ(f.port.writes.back(), Bytes({0x0F, 0x35, 0x0E, 0x3B}));
  EXPECT_FALSE(f.port.m_connected);
  f.port.writes.clear();

  // Modem text again: the next call needs a new CONNECT.
  f.Serial(Text("\r\nNO CARRIER\r\n"));
  EXPECT_EQ(f.engine.Snapshot().status, "\r\nNO CARRIER\r\n");
  EXPECT_TRUE(f.port.writes.empty());
}

TEST(ModemOff, Rs232NeverAnswersModemWords) {
  CoreFixture f;
  ASSERT_TRUE(f.engine.Start().loaded);
  f.engine.ShowStatus("kept");
  f.Serial(Text("\r\nRING\r\n"));
  f.Serial(Text("\r\nCONNECT\r\n"));
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.engine.Snapshot().status, "kept");
}

namespace {
class Confinement : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.engine.Start().loaded);
    f.port.writes.clear();
    // A decoy just outside both folders, reachable only by leaving them.
    WriteFile(f.dir.File("decoy.bll"), std::vector<std::uint8_t>(10, 0xDD));
  }
  CoreFixture f;
};
}  // namespace

TEST_F(Confinement, SeparatorsAndControlBytesAreRefused) {
  // ROM: "TRM-/.abc" and "TRM-\.abc" are names with a separator: "0000".
  WriteFile(f.RomDir() + "/TRM-0.jd0", {0x01});
  f.Serial(WithLrc({0x0F, 0x31, 0x2F, 0x61, 0x62, 0x63, 0x0E}));
  f.Serial(WithLrc({0x0F, 0x31, 0x30, 0x5C, 0x2E, 0x2E, 0x0E}));
  // A control byte inside the name.
  f.Serial(WithLrc({0x0F, 0x31, 0x30, 0x01, 0x62, 0x63, 0x0E}));
  EXPECT_EQ(f.port.TakeWrites(), (Strings{"0F 36 30 30 30 30 0E 38", "0F 36 30 30 30 30 0E 38",
                                          "0F 36 30 30 30 30 0E 38"}));
  EXPECT_EQ(RomState(f.engine), kStateIdle);

  // BLL: "MCA/.." + ".bll" and "SUB" + control byte.
  f.Serial(WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x2F, 0x2E, 0x2E, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 37 31 31 31 03 05"});
  EXPECT_EQ(f.engine.Snapshot().status, "File open error !! - MCA/...bll");
  f.Serial(WithLrc({0x02, 0x31, 0x43, 0x1C, 0x30, 0x1F, 0x31, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 37 31 31 31 03 05"});
  EXPECT_EQ(f.engine.Snapshot().status,
            "File open error !! - SUB0\x1F"
            "1.bll");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
}

TEST_F(Confinement, SymlinksOutOfTheFolderAndFoldersAreRefused) {
  std::filesystem::create_symlink(f.dir.File("decoy.bll"), f.BllDir() + "/MCA001.bll");
  std::filesystem::create_symlink("../decoy.bll", f.RomDir() + "/TRM-5.jd0");
  std::filesystem::create_directories(f.BllDir() + "/MCA002.bll");
  f.Serial(Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 37 31 31 31 03 05"});
  EXPECT_EQ(f.engine.Snapshot().status, "File open error !! - MCA001.bll");
  f.Serial(WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x32, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 37 31 31 31 03 05"});
  f.Serial(Bytes({0x0F, 0x31, 0x35, 0x0E, 0x0A}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 30 30 30 30 0E 38"});

  // A symlink that stays inside the folder is served.
  WriteFile(f.BllDir() + "/real.bin", {0x07});
  std::filesystem::create_symlink("real.bin", f.BllDir() + "/MCA003.bll");
  f.Serial(WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x33, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 00 01 01 00 03 31"});
}

TEST_F(Confinement, ImagesOfMoreThan65535BlocksAreRefused) {
  // Sparse files: 65535 blocks of 128 fit the 16-bit fields, one byte more does not.
  auto sized = [](const std::string& path, off_t size) {
    WriteFile(path, {});
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
  };
  sized(f.BllDir() + "/SUB001.bll", off_t{65535} * 128);
  sized(f.BllDir() + "/SUB002.bll", off_t{65535} * 128 + 1);
  sized(f.RomDir() + "/TRM-9.jd0", off_t{65535} * 2048 + 1);

  f.Serial(WithLrc({0x02, 0x31, 0x43, 0x1C, 0x30, 0x30, 0x31, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 FF FF 00 80 03 B1"});
  EXPECT_EQ(f.progress.ops.back(), "range 0..65536");  // not wrapped to 16 bits
  f.Serial(Bytes({0x02, 0x37, 0x03, 0x34}));           // terminal error ends it

  f.Serial(WithLrc({0x02, 0x31, 0x43, 0x1C, 0x30, 0x30, 0x32, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 37 31 31 31 03 05"});
  EXPECT_EQ(f.engine.Snapshot().status, "File too large !! - SUB002.bll");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::BllFileOpen));

  f.Serial(WithLrc({0x0F, 0x31, 0x39, 0x0E}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 30 30 30 30 0E 38"});
  EXPECT_EQ(f.engine.Snapshot().status, "File too large !! - TRM-9.jd0");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
}

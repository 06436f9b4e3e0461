// ROM downloads through the download engine: the worked exchange, resends, endings and rejects.
#include "CoreFakes.h"

#include <gtest/gtest.h>

using namespace coretest;
using testbytes::Bytes;
using testbytes::Cat;
using testbytes::Slice;
using testbytes::WithLrc;
using Strings = std::vector<std::string>;

namespace {
// 5000 bytes, zero except five marked bytes, so the checksums can be worked out by hand:
// block 0 (0..2047) 12 34 -> checksum 12 34; block 1 (2048..4095) byte 2049 = 56 -> 00 56;
// block 2 (4096..4999, 904 bytes) bytes 4096 = 78, 4999 = 9A -> 78 9A.
// Image checksum: first 1250 words (bytes 0..2499): low 12, high 34 ^ 56 = 62.
std::vector<std::uint8_t> FiveThousandBytes() {
  std::vector<std::uint8_t> img(5000, 0);
  img[0] = 0x12;
  img[1] = 0x34;
  img[2049] = 0x56;
  img[4096] = 0x78;
  img[4999] = 0x9A;
  return img;
}

const auto kRequestTrm5 = Bytes({0x0F, 0x31, 0x35, 0x0E, 0x0A});
const auto kBegin = Bytes({0x0F, 0x33, 0x0E, 0x3D});
const auto kNextAck = Bytes({0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F});
const auto kNextNak = Bytes({0x0F, 0x37, 0x00, 0x00, 0x15, 0x0E, 0x2C});
const auto kTermError = Bytes({0x0F, 0x36, 0x0E, 0x38});
const auto kDone = Bytes({0x0F, 0x06, 0x0E, 0x08});

class RomSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.engine.Start().loaded);
    f.port.writes.clear();
    f.progress.ops.clear();
    f.view.enableCalls.clear();
  }
  void Image(std::string_view name, const std::vector<std::uint8_t>& bytes) {
    WriteFile(f.RomDir() + "/" + std::string(name), bytes);
  }
  CoreFixture f;
};
}  // namespace

TEST_F(RomSession, ThreeBlockExchange) {
  const auto img = FiveThousandBytes();
  Image("TRM-5.jd0", img);

  f.Serial(kRequestTrm5);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 03 12 62 0E 4F"});
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-5.jd0 download is started");
  EXPECT_EQ(SharedOf(f.engine).FileName(), "TRM-5.jd0");
  EXPECT_EQ(RomState(f.engine), kStateActive);
  EXPECT_EQ(SharedOf(f.engine).PacketCount(), 3);
  EXPECT_EQ(f.progress.Take(), Strings{"range 0..4"});
  EXPECT_EQ(f.view.enableCalls, std::vector<bool>{false});
  EXPECT_FALSE(f.engine.Snapshot().controlsEnabled);

  f.Serial(kBegin);
  ASSERT_EQ(f.port.writes.size(), 1u);
  EXPECT_EQ(f.port.writes[0], Cat({Bytes({0x0F, 0x34, 0x00, 0x00, 0x08, 0x00, 0x12, 0x34, 0x1C}),
                                   Slice(img, 0, 2048), Bytes({0x1C, 0x0E, 0x32})}));
  f.port.writes.clear();
  EXPECT_EQ(SharedOf(f.engine).PacketNo(), 0);
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-5.jd0  0% downloaded...");
  EXPECT_EQ(f.progress.Take(), Strings{"stepit"});

  f.Serial(kNextAck);
  ASSERT_EQ(f.port.writes.size(), 1u);
  EXPECT_EQ(f.port.writes[0], Cat({Bytes({0x0F, 0x34, 0x00, 0x01, 0x08, 0x00, 0x00, 0x56, 0x1C}),
                                   Slice(img, 2048, 2048), Bytes({0x1C, 0x0E, 0x33})}));
  f.port.writes.clear();
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-5.jd0  33% downloaded...");

  f.Serial(kNextAck);
  ASSERT_EQ(f.port.writes.size(), 1u);
  EXPECT_EQ(f.port.writes[0], Cat({Bytes({0x0F, 0x34, 0x00, 0x02, 0x03, 0x88, 0x78, 0x9A, 0x1C}),
                                   Slice(img, 4096, 904), Bytes({0x1C, 0x0E, 0xB3})}));
  f.port.writes.clear();
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-5.jd0  66% downloaded...");
  EXPECT_EQ(f.progress.Take(), (Strings{"stepit", "stepit"}));

  f.Serial(kNextAck);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 35 0E 3B"});
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-5.jd0  100% downloaded...");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
  EXPECT_EQ(f.progress.Take(), (Strings{"stepit", "pos 0"}));
  EXPECT_EQ(f.view.enableCalls, (std::vector<bool>{false, true}));
  EXPECT_TRUE(f.engine.Snapshot().controlsEnabled);
  EXPECT_EQ(f.view.shownStatus.back(), "TRM-5.jd0  100% downloaded...");

  // A late "done" reaches the idle dispatch and is ignored there.
  f.Serial(kDone);
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-5.jd0  100% downloaded...");
}

TEST_F(RomSession, ModemLinkUsesBlocksOf1024) {
  Image("TRM-5.jd0", FiveThousandBytes());
  f.port.m_commType = kCommModem;
  f.port.m_connected = true;
  f.Serial(kRequestTrm5);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 05 12 62 0E 49"});
  EXPECT_EQ(SharedOf(f.engine).BlockSize(), 1024);
  EXPECT_TRUE(f.port.m_connected);
  f.Serial(kTermError);
  EXPECT_FALSE(f.port.m_connected);  // after a download the next burst is modem text again
}

TEST_F(RomSession, ResendOnOtherVerdictAndLrcErrorsStayActive) {
  const auto img = FiveThousandBytes();
  Image("TRM-5.jd0", img);
  f.Serial(kRequestTrm5);
  f.Serial(kBegin);
  f.Serial(kNextAck);
  const auto block1 = f.port.writes.back();
  const auto status = f.engine.Snapshot().status;
  f.port.writes.clear();

  f.Serial(kNextNak);
  ASSERT_EQ(f.port.writes.size(), 1u);
  EXPECT_EQ(f.port.writes[0], block1);
  EXPECT_EQ(f.engine.Snapshot().status, status);
  EXPECT_EQ(SharedOf(f.engine).PacketNo(), 1);
  f.port.writes.clear();

  // LRC failure while active: "1111", still active, status unchanged.
  f.Serial(Bytes({0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x00}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 31 31 31 31 0E 38"});
  EXPECT_EQ(RomState(f.engine), kStateActive);
  EXPECT_EQ(f.engine.Snapshot().status, status);

  // Two frames in one batch fail the check too.
  f.Serial(Cat({kNextAck, kNextAck}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 31 31 31 31 0E 38"});

  // A command with no defined reply only refreshes the progress text.
  f.Serial(kRequestTrm5);
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(RomState(f.engine), kStateActive);
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-5.jd0  33% downloaded...");
}

TEST_F(RomSession, TerminalErrorAndDoneEndWithoutReply) {
  Image("TRM-5.jd0", FiveThousandBytes());
  for (const auto& [frame, text] :
       {std::pair{kTermError, "Terminal error occurs!!"}, std::pair{kDone, "bin download O.K!!"}}) {
    SCOPED_TRACE(text);
    f.Serial(kRequestTrm5);
    f.Serial(kBegin);
    f.port.writes.clear();
    f.progress.ops.clear();
    f.view.enableCalls.clear();
    f.Serial(frame);
    EXPECT_TRUE(f.port.writes.empty());
    EXPECT_EQ(f.engine.Snapshot().status, text);
    EXPECT_EQ(RomState(f.engine), kStateIdle);
    EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
    EXPECT_EQ(f.progress.Take(), Strings{"pos 0"});
    EXPECT_EQ(f.view.enableCalls, std::vector<bool>{true});
    EXPECT_EQ(f.view.shownStatus.back(), text);
  }
}

TEST_F(RomSession, OneBlockAndEmptyImages) {
  Image("TRM-1.jd0", {0xAA, 0xBB, 0xCC});
  f.Serial(WithLrc({0x0F, 0x31, 0x31, 0x0E}));
  f.Serial(kBegin);
  EXPECT_EQ(f.port.TakeWrites(),
            (Strings{"0F 32 00 01 66 BB 0E E0", "0F 34 00 00 00 03 66 BB 1C AA BB CC 1C 0E 39"}));
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-1.jd0  0% downloaded...");
  f.Serial(kNextAck);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 35 0E 3B"});
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-1.jd0  100% downloaded...");

  // No blocks: "3" gets the end frame at once, shows 100 and ends the session.
  Image("TRM-0.jd0", {});
  f.progress.ops.clear();
  f.view.enableCalls.clear();
  f.Serial(Bytes({0x0F, 0x31, 0x30, 0x0E, 0x0F}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 00 00 00 0E 3C"});
  f.Serial(kBegin);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 35 0E 3B"});
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-0.jd0  100% downloaded...");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
  EXPECT_EQ(f.progress.Take(), (Strings{"range 0..1", "stepit", "pos 0"}));
  EXPECT_EQ(f.view.enableCalls, (std::vector<bool>{false, true}));
}

TEST_F(RomSession, ExactMultipleOfBlockSize) {
  Image("TRM-2.jd0", std::vector<std::uint8_t>(4096, 0x01));
  f.Serial(WithLrc({0x0F, 0x31, 0x32, 0x0E}));
  EXPECT_EQ(SharedOf(f.engine).PacketCount(), 2);
  Image("TRM-3.jd0", std::vector<std::uint8_t>(4097, 0x01));
  f.Serial(kTermError);
  f.Serial(WithLrc({0x0F, 0x31, 0x33, 0x0E}));
  EXPECT_EQ(SharedOf(f.engine).PacketCount(), 3);
  f.Serial(kBegin);
  f.Serial(kNextAck);
  f.Serial(kNextAck);
  // The last block holds the one extra byte.
  EXPECT_EQ(Hex(f.port.writes.back()), "0F 34 00 02 00 01 01 00 1C 01 1C 0E 39");
}

TEST_F(RomSession, RequestRejects) {
  f.engine.ShowStatus("before");
  // Failed LRC: "1111", status unchanged, idle.
  f.Serial(Bytes({0x0F, 0x31, 0x35, 0x0E, 0x00}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 31 31 31 31 0E 38"});
  // Selector "A" without 0x1C.
  f.Serial(WithLrc({0x0F, 0x31, 0x41, 0x0E}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 31 31 31 31 0E 38"});
  // Missing image: "0000", status left as it was.
  f.Serial(kRequestTrm5);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 36 30 30 30 30 0E 38"});
  EXPECT_EQ(f.engine.Snapshot().status, "before");
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_TRUE(f.progress.ops.empty());
}

TEST_F(RomSession, SelectorsNameTheImage) {
  Image("TRM-M.jd0", {0x01});
  Image("TRM-M.rom", {0x02});
  Image("qimod123.rom", {0x03});
  f.Serial(Bytes({0x0F, 0x31, 0x4D, 0x0E, 0x72}));
  EXPECT_EQ(SharedOf(f.engine).FileName(), "TRM-M.jd0");
  f.Serial(kTermError);
  f.Serial(Bytes({0x0F, 0x31, 0x4D, 0x72, 0x6F, 0x6D, 0x0E, 0x02}));
  EXPECT_EQ(SharedOf(f.engine).FileName(), "TRM-M.rom");
  f.Serial(kTermError);
  f.Serial(WithLrc({0x0F, 0x31, 0x58, 0x1C, 0x79, 0x31, 0x32, 0x33, 0x0E}));
  EXPECT_EQ(SharedOf(f.engine).FileName(), "qimod123.rom");
  EXPECT_EQ(f.port.TakeWrites(), (Strings{"0F 32 00 01 01 00 0E 3C", "0F 32 00 01 02 00 0E 3F",
                                          "0F 32 00 01 03 00 0E 3E"}));
}

TEST_F(RomSession, RequestOverTcpIsAnsweredOnSerial) {
  Image("TRM-5.jd0", FiveThousandBytes());
  FakeConnection conn;
  f.engine.OnSocketAccept();
  // Bytes before the start byte are dropped.
  f.engine.OnSocketReceive(&conn, Cat({Bytes({0x41}), kRequestTrm5}));
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 03 12 62 0E 4F"});
  f.engine.OnSocketReceive(&conn, kBegin);
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_EQ(f.port.writes.size(), 1u);
}

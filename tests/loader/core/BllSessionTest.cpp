// BLL downloads through the download engine: the worked exchange, rejects, and replies
// on the channel that delivered each frame.
#include "CoreFakes.h"

#include <gtest/gtest.h>

using namespace coretest;
using testbytes::Bytes;
using testbytes::Cat;
using testbytes::Slice;
using testbytes::WithLrc;
using Strings = std::vector<std::string>;

namespace {
// 300 bytes, zero except: 0 = A1, 255 = B2 (block 0 -> checksum A1 B2),
// 256 = C3, 299 = D4 (block 1, 44 bytes -> C3 D4).
std::vector<std::uint8_t> ThreeHundredBytes() {
  std::vector<std::uint8_t> v(300, 0);
  v[0] = 0xA1;
  v[255] = 0xB2;
  v[256] = 0xC3;
  v[299] = 0xD4;
  return v;
}

const auto kRequestB001 = Bytes({0x02, 0x31, 0x42, 0x1C, 0x30, 0x30, 0x31, 0x03, 0x5D});
const auto kRequestMca001 = Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C});
const auto kBegin = Bytes({0x02, 0x33, 0x03, 0x30});
const auto kNextAck = Bytes({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30});
const auto kNextNak = Bytes({0x02, 0x35, 0x00, 0x00, 0x15, 0x03, 0x23});
const auto kTermError = Bytes({0x02, 0x37, 0x03, 0x34});
const std::string kReject = "02 37 31 31 31 03 05";

class BllSession : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.engine.Start().loaded);
    f.port.writes.clear();
    f.progress.ops.clear();
    f.view.enableCalls.clear();
    WriteFile(f.BllDir() + "/MCA001.bll", ThreeHundredBytes());
  }
  CoreFixture f;
};
}  // namespace

TEST_F(BllSession, ThreeHundredByteExchangeOverSerial) {
  const auto file = ThreeHundredBytes();
  f.Serial(kRequestB001);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 00 02 01 00 03 32"});
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll download is started");
  EXPECT_EQ(BllState(f.engine), kStateActive);
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(f.progress.Take(), Strings{"range 0..3"});
  EXPECT_EQ(f.view.enableCalls, std::vector<bool>{false});

  f.Serial(kBegin);
  ASSERT_EQ(f.port.writes.size(), 1u);
  EXPECT_EQ(f.port.writes[0], Cat({Bytes({0x02, 0x34, 0x00, 0x00, 0x01, 0x00, 0xA1, 0xB2, 0x1C}),
                                   Slice(file, 0, 256), Bytes({0x1C, 0x03, 0x36})}));
  f.port.writes.clear();
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  0% downloaded...");

  f.Serial(kNextAck);
  ASSERT_EQ(f.port.writes.size(), 1u);
  EXPECT_EQ(f.port.writes[0], Cat({Bytes({0x02, 0x34, 0x00, 0x01, 0x00, 0x2C, 0xC3, 0xD4, 0x1C}),
                                   Slice(file, 256, 44), Bytes({0x1C, 0x03, 0x1A})}));
  const auto block1 = f.port.writes[0];
  f.port.writes.clear();
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  50% downloaded...");

  // Any other verdict: the same block again, percentage unchanged.
  f.Serial(kNextNak);
  ASSERT_EQ(f.port.writes.size(), 1u);
  EXPECT_EQ(f.port.writes[0], block1);
  f.port.writes.clear();
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  50% downloaded...");

  f.Serial(kNextAck);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 36 00 02 00 02 03 35"});
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  100% downloaded...");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::BllFileOpen));
  EXPECT_EQ(f.progress.Take(), (Strings{"stepit", "stepit", "stepit", "pos 0"}));
  EXPECT_EQ(f.view.enableCalls, (std::vector<bool>{false, true}));
}

TEST_F(BllSession, RequestKindsAndBlockSizes) {
  f.Serial(kRequestMca001);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 00 02 01 00 03 32"});
  EXPECT_EQ(SharedOf(f.engine).FileName(), "MCA001.bll");
  f.Serial(kTermError);
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.engine.Snapshot().status, "Terminal error occurs!!");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::BllFileOpen));

  WriteFile(f.BllDir() + "/SUB002.bll", std::vector<std::uint8_t>(300, 0x11));
  f.Serial(WithLrc({0x02, 0x31, 0x43, 0x1C, 0x30, 0x30, 0x32, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 00 03 00 80 03 B2"});
  EXPECT_EQ(SharedOf(f.engine).BlockSize(), 128);
  EXPECT_EQ(SharedOf(f.engine).FileName(), "SUB002.bll");

  // Other 02 31 requests are dropped at idle without a refresh.
  f.Serial(kTermError);
  const int updates = f.view.updates;
  f.Serial(WithLrc({0x02, 0x31, 0x44, 0x1C, 0x30, 0x30, 0x31, 0x03}));
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.view.updates, updates);
  // Frames at idle that are no request get no reply, whatever their LRC.
  f.Serial(kBegin);
  f.Serial(Bytes({0x02, 0x33, 0x03, 0x00}));
  EXPECT_TRUE(f.port.writes.empty());
}

TEST_F(BllSession, RejectsAndTheirStatusTexts) {
  f.Serial(Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x00}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{kReject});
  EXPECT_EQ(f.engine.Snapshot().status, "Packet LRC error !! - ");
  EXPECT_EQ(f.view.shownStatus.back(), "Packet LRC error !! - ");

  // The only 0x1C is the last byte before the LRC.
  f.Serial(WithLrc({0x02, 0x31, 0x42, 0x30, 0x30, 0x31, 0x1C}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{kReject});
  EXPECT_EQ(f.engine.Snapshot().status, "Packet length error !! - ");

  f.Serial(WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x39, 0x39, 0x39, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{kReject});
  EXPECT_EQ(f.engine.Snapshot().status, "File open error !! - MCA999.bll");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_TRUE(f.progress.ops.empty());

  // LRC failure while active: reject, status, still active.
  f.Serial(kRequestB001);
  f.Serial(kBegin);
  f.port.writes.clear();
  f.Serial(Bytes({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x31}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{kReject});
  EXPECT_EQ(f.engine.Snapshot().status, "Packet LRC error !! - ");
  EXPECT_EQ(BllState(f.engine), kStateActive);
  // A frame with no defined reply refreshes the progress text only.
  f.Serial(kRequestB001);
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  0% downloaded...");
}

TEST_F(BllSession, EmptyFileEndsAtBegin) {
  WriteFile(f.BllDir() + "/MCA000.bll", {});
  f.Serial(WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x30, 0x03}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 00 00 01 00 03 30"});
  f.Serial(kBegin);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 36 00 00 00 00 03 35"});
  EXPECT_EQ(f.engine.Snapshot().status, "MCA000.bll  100% downloaded...");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_EQ(f.view.enableCalls, (std::vector<bool>{false, true}));
}

TEST_F(BllSession, ASessionBelongsToTheConnectionThatStartedIt) {
  FakeConnection a, b;
  f.engine.OnSocketAccept();
  EXPECT_EQ(f.engine.Snapshot().status, "TCPIP 연결 허가");
  f.engine.OnSocketAccept();

  f.engine.OnSocketReceive(&a, kRequestB001);
  EXPECT_EQ(a.TakeSent(), Strings{"02 32 00 02 01 00 03 32"});
  EXPECT_TRUE(f.port.writes.empty());

  // Serial traffic in between...
  f.Serial(Bytes({0x41, 0x42}));
  // ...but the reply to a frame from connection a still goes to a.
  f.engine.OnSocketReceive(&a, kBegin);
  ASSERT_EQ(a.sent.size(), 1u);
  EXPECT_EQ(Hex(Slice(a.sent[0], 0, 9)), "02 34 00 00 01 00 A1 B2 1C");
  a.sent.clear();
  EXPECT_TRUE(f.port.writes.empty());

  // Frames of another connection or of the serial port neither get a reply
  // nor move a's session, nor refresh the window.
  const int updates = f.view.updates;
  f.engine.OnSocketReceive(&b, kNextAck);
  f.engine.OnSocketReceive(&b, kTermError);
  f.engine.OnSocketReceive(&b, kRequestMca001);
  f.Serial(kNextAck);
  f.Serial(kTermError);
  EXPECT_TRUE(b.sent.empty());
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.view.updates, updates);
  EXPECT_EQ(SharedOf(f.engine).PacketNo(), 0);
  EXPECT_EQ(BllState(f.engine), kStateActive);
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  0% downloaded...");

  f.engine.OnSocketReceive(&a, kNextAck);
  ASSERT_EQ(a.sent.size(), 1u);
  EXPECT_EQ(Hex(Slice(a.sent[0], 0, 9)), "02 34 00 01 00 2C C3 D4 1C");
  a.sent.clear();
  f.engine.OnSocketReceive(&a, Cat({Bytes({0x00, 0x41}), kNextAck}));
  EXPECT_EQ(a.TakeSent(), Strings{"02 36 00 02 00 02 03 35"});
  EXPECT_TRUE(f.port.writes.empty());
  f.engine.OnSocketClose(&b);

  // Idle again: any channel may start the next one. LRC rejects of a TCP
  // request go back on that connection too.
  f.engine.OnSocketReceive(&b, Bytes({0x02, 0x31, 0x42, 0x00}));
  EXPECT_EQ(b.TakeSent().back(), kReject);
}

TEST_F(BllSession, TcpIsServedWhateverTheSerialPortsState) {
  FakeConnection a;
  const auto file = ThreeHundredBytes();
  for (const bool failedOnOpen : {false, true}) {
    SCOPED_TRACE(failedOnOpen);
    if (failedOnOpen) {
      f.port.openSucceeds = false;
      f.portDialog.result = PortSetting{2, kCommRs232, 3, std::nullopt};
      f.engine.OnPortSettings();
    } else {
      f.engine.OnCommFailure();  // the port failed while running
    }
    ASSERT_FALSE(f.port.m_open);
    f.engine.OnSocketReceive(&a, kRequestB001);
    f.engine.OnSocketReceive(&a, kBegin);
    f.engine.OnSocketReceive(&a, kNextAck);
    f.engine.OnSocketReceive(&a, kNextAck);
    ASSERT_EQ(a.sent.size(), 4u);
    EXPECT_EQ(Hex(a.sent[0]), "02 32 00 02 01 00 03 32");
    EXPECT_EQ(Slice(a.sent[1], 9, 256), Slice(file, 0, 256));
    EXPECT_EQ(Slice(a.sent[2], 9, 44), Slice(file, 256, 44));
    EXPECT_EQ(Hex(a.sent[3]), "02 36 00 02 00 02 03 35");
    a.sent.clear();
    EXPECT_EQ(BllState(f.engine), kStateIdle);
    // Serial bursts are still dropped.
    f.Serial(kRequestB001);
    EXPECT_TRUE(f.port.writes.empty());
  }
}

TEST_F(BllSession, RomRequestOverTcpWithThePortClosedSaysWhy) {
  FakeConnection a;
  WriteFile(f.RomDir() + "/TRM-5.jd0", {0x01});
  f.engine.OnCommFailure();
  f.port.writes.clear();
  f.engine.OnSocketReceive(&a, Bytes({0x0F, 0x31, 0x35, 0x0E, 0x0A}));
  EXPECT_TRUE(a.sent.empty());
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(f.engine.Snapshot().status,
            "Serial port not open, ROM request not answered !! - TRM-5.jd0");
  EXPECT_EQ(f.view.shownStatus.back(), f.engine.Snapshot().status);
}

TEST_F(BllSession, TcpReceiveIsCutTo1024Bytes) {
  FakeConnection a;
  // A good request followed by filler up to 1024 bytes passes only once cut there.
  auto data = kRequestMca001;
  std::vector<std::uint8_t> big(1024 - data.size(), 0x00);
  big.insert(big.begin(), data.begin(), data.end());
  big.push_back(0x55);  // byte 1025: cut away; the zeros keep the LRC
  f.engine.OnSocketReceive(&a, big);
  EXPECT_EQ(a.TakeSent(), Strings{"02 32 00 02 01 00 03 32"});
}

// Receive dispatch corners: which batches refresh the window, frames of the
// other family during a session, the channel of the latest traffic, and
// selector bytes that lie beyond the end of a short request.
#include "CoreFakes.h"

#include <gtest/gtest.h>

using namespace coretest;
using testbytes::Bytes;
using Strings = std::vector<std::string>;

namespace {
// Frames with their LRCs worked out by hand.
const auto kRomRequestTrm1 = Bytes({0x0F, 0x31, 0x31, 0x0E, 0x0E});  // TRM-1.jd0
const auto kRomBegin = Bytes({0x0F, 0x33, 0x0E, 0x3D});
const auto kRomNextAck = Bytes({0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F});
const auto kBllRequestMca001 = Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C});
const auto kBllBegin = Bytes({0x02, 0x33, 0x03, 0x30});
const auto kBllOtherRequest = Bytes({0x02, 0x31, 0x44, 0x1C, 0x30, 0x30, 0x31, 0x03, 0x5B});

// Block 0 of the image AA BB CC in a ROM frame, and of the file 07 in a BLL frame.
const std::string kRomBlockAabbcc = "0F 34 00 00 00 03 66 BB 1C AA BB CC 1C 0E 39";
const std::string kBllBlock07 = "02 34 00 00 00 01 07 00 1C 07 1C 03 36";

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.engine.Start().loaded);
    WriteFile(f.RomDir() + "/TRM-1.jd0", {0xAA, 0xBB, 0xCC});
    WriteFile(f.BllDir() + "/MCA001.bll", {0x07});
    f.port.writes.clear();
  }
  CoreFixture f;
  FakeConnection conn;
};
}  // namespace

TEST_F(Dispatch, IdleTcpBatchesRefreshOnlyWhenTheDesignSaysSo) {
  int updates = f.view.updates;
  // No start byte at all: nothing, not even a refresh.
  f.engine.OnSocketReceive(&conn, Bytes({0x41, 0x42, 0x43}));
  EXPECT_EQ(f.view.updates, updates);
  // A 02 31 frame that names no BLL request: dropped without a refresh.
  f.engine.OnSocketReceive(&conn, kBllOtherRequest);
  EXPECT_EQ(f.view.updates, updates);
  // Any other frame at idle: no reply, only a refresh.
  f.engine.OnSocketReceive(&conn, kBllBegin);
  EXPECT_EQ(f.view.updates, updates + 1);
  f.engine.OnSocketReceive(&conn, Bytes({0x0F, 0x06, 0x0E, 0x08}));
  EXPECT_EQ(f.view.updates, updates + 2);
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_TRUE(f.view.enableCalls.empty());
}

TEST_F(Dispatch, BlockedSessionsDropFramesButRefresh) {
  f.engine.SetSessionsEnabled(false);
  ASSERT_EQ(RomState(f.engine), kStateBlocked);
  int updates = f.view.updates;
  f.engine.OnSocketReceive(&conn, kBllRequestMca001);
  EXPECT_EQ(f.view.updates, updates + 1);
  f.Serial(kRomRequestTrm1);
  EXPECT_EQ(f.view.updates, updates + 2);
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(RomState(f.engine), kStateBlocked);
  EXPECT_EQ(BllState(f.engine), kStateBlocked);

  // Enabled again with the port open: the same request is served.
  f.engine.SetSessionsEnabled(true);
  f.Serial(kRomRequestTrm1);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 01 66 BB 0E E0"});
}

TEST_F(Dispatch, AnEmptySerialNotificationChangesNothing) {
  f.engine.OnSocketAccept();
  f.engine.OnSocketReceive(&conn, kBllBegin);
  // Nothing queued: no refresh.
  const int updates = f.view.updates;
  f.engine.OnCommRead();
  EXPECT_EQ(f.view.updates, updates);
}

TEST_F(Dispatch, AnActiveRomSessionTakesFramesOfEitherFamily) {
  f.Serial(kRomRequestTrm1);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 01 66 BB 0E E0"});
  // A BLL "3" passes the LRC and is a begin command to the ROM session.
  f.Serial(kBllBegin);
  EXPECT_EQ(f.port.TakeWrites(), Strings{kRomBlockAabbcc});
  // A BLL request has no defined reply in a ROM session: the progress text only.
  f.engine.ShowStatus("changed");
  f.Serial(kBllRequestMca001);
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-1.jd0  0% downloaded...");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  // A serial session takes nothing from TCP.
  f.engine.OnSocketReceive(&conn, kRomNextAck);
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(RomState(f.engine), kStateActive);
  f.Serial(kRomNextAck);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 35 0E 3B"});
  EXPECT_EQ(RomState(f.engine), kStateIdle);
}

TEST_F(Dispatch, ARomSessionStartedOverTcpAlsoTakesSerialFrames) {
  FakeConnection other("127.0.0.1:40001");
  f.engine.OnSocketReceive(&conn, kRomRequestTrm1);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 01 66 BB 0E E0"});
  // Its terminal may answer on either line; replies always go to the serial port.
  f.Serial(kRomBegin);
  EXPECT_EQ(f.port.TakeWrites(), Strings{kRomBlockAabbcc});
  // Another connection's frames are ignored.
  f.engine.OnSocketReceive(&other, kRomNextAck);
  f.engine.OnSocketReceive(&other, Bytes({0x0F, 0x36, 0x0E, 0x38}));
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(RomState(f.engine), kStateActive);
  f.engine.OnSocketReceive(&conn, kRomNextAck);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 35 0E 3B"});
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_EQ(RomState(f.engine), kStateIdle);
}

TEST_F(Dispatch, AnActiveBllSessionTakesFramesOfEitherFamily) {
  f.engine.OnSocketReceive(&conn, kBllRequestMca001);
  EXPECT_EQ(conn.TakeSent(), Strings{"02 32 00 01 01 00 03 31"});
  // A ROM "3" is a begin command to the BLL session, answered where it came from.
  f.engine.OnSocketReceive(&conn, kRomBegin);
  EXPECT_EQ(conn.TakeSent(), Strings{kBllBlock07});
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  0% downloaded...");
  // A ROM request is no BLL command: progress text only, no reply anywhere.
  f.engine.OnSocketReceive(&conn, kRomRequestTrm1);
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateActive);
  // A ROM "6" means nothing to a BLL session either (BLL terminal error is "7").
  f.engine.OnSocketReceive(&conn, Bytes({0x0F, 0x36, 0x0E, 0x38}));
  EXPECT_TRUE(conn.sent.empty());
  EXPECT_EQ(BllState(f.engine), kStateActive);
  // The serial port has no say in a session started over TCP.
  f.Serial(Bytes({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30}));
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(BllState(f.engine), kStateActive);
  // A BLL "next" with ACK from its connection ends it there.
  f.engine.OnSocketReceive(&conn, Bytes({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30}));
  EXPECT_EQ(conn.TakeSent(), Strings{"02 36 00 01 00 01 03 35"});
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  100% downloaded...");
  EXPECT_EQ(BllState(f.engine), kStateIdle);
}

TEST_F(Dispatch, SelectorBytesBeyondTheFrameCountAsZero) {
  // 0F 31 31: its LRC (31) is the selector's own byte; offset 3 lies beyond
  // the frame, counts as zero and ends the name at "TRM-1.".
  WriteFile(f.RomDir() + "/TRM-1.", {0xAA, 0xBB, 0xCC});
  f.Serial(Bytes({0x0F, 0x31, 0x31}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 01 66 BB 0E E0"});
  EXPECT_EQ(SharedOf(f.engine).FileName(), "TRM-1.");
  EXPECT_EQ(f.engine.Snapshot().status, "TRM-1. download is started");
  f.Serial(Bytes({0x0F, 0x36, 0x0E, 0x38}));  // terminal error ends it

  // "A" selector: digits 2, 3, 4 after the 0x1C are 31, 24 (the LRC) and zero.
  WriteFile(f.RomDir() + "/qimod1$", {0x01});
  f.Serial(Bytes({0x0F, 0x31, 0x41, 0x1C, 0x79, 0x31, 0x24}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 01 01 00 0E 3C"});
  EXPECT_EQ(SharedOf(f.engine).FileName(), "qimod1$");
  f.Serial(Bytes({0x0F, 0x36, 0x0E, 0x38}));

  // "B" selector with its 0x1C at n-3: the digits are 35, 5A (the LRC) and zero.
  WriteFile(f.BllDir() + "/MCA5Z", {0x07});
  f.Serial(Bytes({0x02, 0x31, 0x42, 0x1C, 0x35, 0x5A}));
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 00 01 01 00 03 31"});
  EXPECT_EQ(SharedOf(f.engine).FileName(), "MCA5Z");
}

TEST_F(Dispatch, RefusedRequestsLeaveButtonsAndProgressAlone) {
  f.progress.ops.clear();
  f.view.enableCalls.clear();
  f.Serial(Bytes({0x0F, 0x31, 0x31, 0x0E, 0x00}));                                // LRC
  f.Serial(Bytes({0x0F, 0x31, 0x41, 0x0E, 0x7E}));                                // no 0x1C
  f.Serial(Bytes({0x0F, 0x31, 0x32, 0x0E, 0x0D}));                                // no TRM-2.jd0
  f.Serial(Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x32, 0x03, 0x4F}));  // no MCA002
  f.Serial(Bytes({0x02, 0x31, 0x42, 0x30, 0x03, 0x40}));                          // no 0x1C
  EXPECT_EQ(f.port.TakeWrites(),
            (Strings{"0F 36 31 31 31 31 0E 38", "0F 36 31 31 31 31 0E 38",
                     "0F 36 30 30 30 30 0E 38", "02 37 31 31 31 03 05", "02 37 31 31 31 03 05"}));
  EXPECT_EQ(f.engine.Snapshot().status, "Packet length error !! - ");
  EXPECT_TRUE(f.progress.ops.empty());
  EXPECT_TRUE(f.view.enableCalls.empty());
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(BllState(f.engine), kStateIdle);
}

TEST(DispatchModem, BllDownloadOverTheModemEndsTheLink) {
  CoreFixture f("PORT=COM2\r\nTYPE=MODEM\r\nBAUD=2400bps\r\n");
  ASSERT_TRUE(f.engine.Start().loaded);
  WriteFile(f.BllDir() + "/MCA001.bll", {0x07});
  f.port.writes.clear();
  const std::string connect = "\r\nCONNECT 2400\r\n";
  f.Serial({connect.begin(), connect.end()});
  EXPECT_EQ(f.port.TakeWrites(), Strings{"05 05 05"});
  ASSERT_TRUE(f.port.m_connected);

  // Block sizes of BLL requests do not depend on the modem.
  f.Serial(kBllRequestMca001);
  f.Serial(kBllBegin);
  f.Serial(Bytes({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30}));
  EXPECT_EQ(f.port.TakeWrites(),
            (Strings{"02 32 00 01 01 00 03 31", kBllBlock07, "02 36 00 01 00 01 03 35"}));
  EXPECT_FALSE(f.port.m_connected);

  // The next burst is modem text again.
  const std::string ring = "\r\nRING\r\n";
  f.Serial({ring.begin(), ring.end()});
  EXPECT_EQ(f.port.TakeWrites(), Strings{"41 54 41 0D"});
  EXPECT_EQ(f.engine.Snapshot().status, ring);
}

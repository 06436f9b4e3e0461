// Who a session belongs to, how it ends when its terminal is gone, the
// per-download reports, and one BLL session per connection with CONCURRENT=1.
#include "CoreFakes.h"

#include <gtest/gtest.h>

using namespace coretest;
using testbytes::Bytes;
using testbytes::Slice;
using testbytes::WithLrc;
using Strings = std::vector<std::string>;

namespace {
const auto kRequestMca001 = Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C});
const auto kRequestSub002 = WithLrc({0x02, 0x31, 0x43, 0x1C, 0x30, 0x30, 0x32, 0x03});
const auto kBegin = Bytes({0x02, 0x33, 0x03, 0x30});
const auto kNextAck = Bytes({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30});
const auto kTermError = Bytes({0x02, 0x37, 0x03, 0x34});
const auto kRomRequestTrm1 = Bytes({0x0F, 0x31, 0x31, 0x0E, 0x0E});
const auto kRomBegin = Bytes({0x0F, 0x33, 0x0E, 0x3D});
const auto kRomNextAck = Bytes({0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F});

std::vector<std::uint8_t> Pattern(std::size_t size, int seed) {
  std::vector<std::uint8_t> v(size);
  for (std::size_t i = 0; i < size; ++i)
    v[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(seed));
  return v;
}

/// The data bytes of a data frame (12 bytes of framing around them).
std::vector<std::uint8_t> DataOf(const std::vector<std::uint8_t>& frame) {
  if (frame.size() < 12 || frame[1] != 0x34) return {};
  return Slice(frame, 9, frame.size() - 12);
}

class Sessions : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.engine.Start().loaded);
    mca = Pattern(300, 1);  // 2 blocks of 256
    sub = Pattern(200, 2);  // 2 blocks of 128
    WriteFile(f.BllDir() + "/MCA001.bll", mca);
    WriteFile(f.BllDir() + "/SUB002.bll", sub);
    WriteFile(f.RomDir() + "/TRM-1.jd0", {0xAA, 0xBB, 0xCC});
    f.port.writes.clear();
    f.progress.ops.clear();
    f.view.enableCalls.clear();
  }
  CoreFixture f;
  FakeConnection a{"127.0.0.1:40001"};
  FakeConnection b{"[::1]:40002"};
  std::vector<std::uint8_t> mca, sub;
};
}  // namespace

TEST_F(Sessions, ClosingTheStartingConnectionEndsTheSessionAtOnce) {
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.engine.OnSocketReceive(&a, kBegin);
  ASSERT_EQ(a.sent.size(), 2u);
  f.progress.ops.clear();
  // Another connection going away changes nothing.
  f.engine.OnSocketClose(&b);
  EXPECT_EQ(BllState(f.engine), kStateActive);
  EXPECT_TRUE(f.log.lines.empty());

  f.engine.OnSocketClose(&a);
  EXPECT_EQ(BllState(f.engine), kStateIdle);
  EXPECT_FALSE(SharedHas(f.engine, &Download::BllFileOpen));
  EXPECT_TRUE(f.engine.Snapshot().controlsEnabled);
  EXPECT_EQ(f.view.enableCalls, (std::vector<bool>{false, true}));
  EXPECT_EQ(f.progress.ops, Strings{"pos 0"});
  EXPECT_EQ(f.log.Take(), Strings{"failed: MCA001.bll connection closed via tcp 127.0.0.1:40001"});

  // The next terminal is served at once.
  f.engine.OnSocketReceive(&b, kRequestMca001);
  EXPECT_EQ(b.TakeSent(), Strings{"02 32 00 02 01 00 03 32"});
}

TEST_F(Sessions, ASessionSilentForTheTimeOutEnds) {
  ASSERT_EQ(f.engine.Settings().sessionTimeoutSec, 60);
  f.clock.nowMs = 1000;
  f.Serial(kRomRequestTrm1);
  f.clock.nowMs = 31000;
  f.Serial(kRomBegin);  // its own channel: the time starts over
  // Frames of other channels do not keep it alive.
  f.clock.nowMs = 60000;
  f.engine.OnSocketReceive(&a, kRomNextAck);
  f.clock.nowMs = 90999;
  f.engine.OnSessionTimer();
  EXPECT_EQ(RomState(f.engine), kStateActive);
  f.port.writes.clear();
  f.progress.ops.clear();

  f.clock.nowMs = 91000;
  f.engine.OnSessionTimer();
  EXPECT_EQ(RomState(f.engine), kStateIdle);
  EXPECT_EQ(f.engine.Snapshot().status, "Session timed out !! - TRM-1.jd0");
  EXPECT_EQ(f.view.shownStatus.back(), "Session timed out !! - TRM-1.jd0");
  EXPECT_FALSE(SharedHas(f.engine, &Download::RomFileOpen));
  EXPECT_TRUE(f.engine.Snapshot().controlsEnabled);
  EXPECT_EQ(f.progress.ops, Strings{"pos 0"});
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_EQ(f.log.Take(), Strings{"failed: TRM-1.jd0 timed out via serial COM1"});

  // 0 = never, as the design has it.
  ApplySetting(f.engine, [&](LoaderConfig& c) { c.sessionTimeoutSec = 0; });
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.clock.nowMs = 10'000'000;
  f.engine.OnSessionTimer();
  EXPECT_EQ(BllState(f.engine), kStateActive);
}

TEST_F(Sessions, EachDownloadEndsWithOneReport) {
  // Serial BLL to its end.
  f.clock.nowMs = 1000;
  f.Serial(kRequestMca001);
  f.Serial(kBegin);
  f.Serial(kNextAck);
  f.clock.nowMs = 3500;
  f.Serial(kNextAck);
  // TCP BLL to its end, then one stopped by its terminal.
  f.engine.OnSocketReceive(&a, kRequestSub002);
  f.engine.OnSocketReceive(&a, kBegin);
  f.engine.OnSocketReceive(&a, kNextAck);
  f.engine.OnSocketReceive(&a, kNextAck);
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.engine.OnSocketReceive(&a, kTermError);
  // A ROM image asked for over TCP travels on the serial line.
  f.engine.OnSocketReceive(&b, kRomRequestTrm1);
  f.engine.OnSocketReceive(&b, kRomBegin);
  f.engine.OnSocketReceive(&b, Bytes({0x0F, 0x06, 0x0E, 0x08}));  // "done" before the end
  // A refused request is a failed download, and so is a cut-off one.
  f.Serial(WithLrc({0x02, 0x31, 0x4D, 0x43, 0x41, 0x39, 0x39, 0x39, 0x03}));
  f.Serial(kRequestMca001);
  f.engine.OnRomLocation();
  EXPECT_EQ(f.log.Take(),
            (Strings{"done: MCA001.bll 300 bytes 2 blocks in 2500 ms via serial COM1",
                     "done: SUB002.bll 200 bytes 2 blocks in 0 ms via tcp 127.0.0.1:40001",
                     "failed: MCA001.bll terminal error via tcp 127.0.0.1:40001",
                     // The terminal's own "done" is a normal end.
                     "done: TRM-1.jd0 3 bytes 1 blocks in 0 ms via serial COM1 (ended by the "
                     "terminal at block 0 of 1)",
                     "failed: MCA999.bll not found in " + f.BllDir() + " via serial COM1",
                     "failed: MCA001.bll abandoned via serial COM1"}));
}

TEST_F(Sessions, WithoutConcurrencyASecondTerminalWaits) {
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.engine.OnSocketReceive(&b, kRequestSub002);
  f.engine.OnSocketReceive(&b, kBegin);
  EXPECT_TRUE(b.sent.empty());
  f.engine.OnSocketReceive(&a, kTermError);
  f.engine.OnSocketReceive(&b, kRequestSub002);
  EXPECT_EQ(b.TakeSent(), Strings{"02 32 00 02 00 80 03 B3"});
  EXPECT_TRUE(f.engine.OwnDownloads().empty());  // the single session is no list entry
}

namespace {
class Concurrent : public Sessions {
 protected:
  void SetUp() override {
    Sessions::SetUp();
    ApplySetting(f.engine, [&](LoaderConfig& c) { c.concurrent = true; });
  }
};
}  // namespace

TEST_F(Concurrent, InterleavedConnectionsEachGetTheirOwnFile) {
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.engine.OnSocketReceive(&b, kRequestSub002);
  EXPECT_EQ(a.TakeSent(), Strings{"02 32 00 02 01 00 03 32"});
  EXPECT_EQ(b.TakeSent(), Strings{"02 32 00 02 00 80 03 B3"});
  f.engine.OnSocketReceive(&b, kBegin);
  f.engine.OnSocketReceive(&a, kBegin);
  f.engine.OnSocketReceive(&b, kNextAck);
  ASSERT_EQ(a.sent.size(), 1u);
  ASSERT_EQ(b.sent.size(), 2u);
  EXPECT_EQ(DataOf(a.sent[0]), Slice(mca, 0, 256));
  EXPECT_EQ(DataOf(b.sent[0]), Slice(sub, 0, 128));
  EXPECT_EQ(DataOf(b.sent[1]), Slice(sub, 128, 72));
  a.sent.clear();
  b.sent.clear();
  const auto list = f.engine.OwnDownloads();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].peer, "127.0.0.1:40001");
  EXPECT_EQ(list[0].file, "MCA001.bll");
  EXPECT_EQ(list[0].percent, 0);
  EXPECT_EQ(list[1].file, "SUB002.bll");
  EXPECT_EQ(list[1].percent, 50);

  f.engine.OnSocketReceive(&a, kNextAck);
  f.engine.OnSocketReceive(&b, kNextAck);
  f.engine.OnSocketReceive(&a, kNextAck);
  ASSERT_EQ(a.sent.size(), 2u);
  EXPECT_EQ(DataOf(a.sent[0]), Slice(mca, 256, 44));
  EXPECT_EQ(Hex(a.sent[1]), "02 36 00 02 00 02 03 35");
  EXPECT_EQ(b.TakeSent(), Strings{"02 36 00 02 00 02 03 35"});
  EXPECT_TRUE(f.engine.OwnDownloads().empty());
  // Nothing went to the serial port, and the buttons stayed with the serial session.
  EXPECT_TRUE(f.port.writes.empty());
  EXPECT_TRUE(f.view.enableCalls.empty());
  // The status line shows the latest TCP event.
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll  100% downloaded...");

  const Strings lines = f.log.Take();
  EXPECT_EQ(lines.front(), "session: 127.0.0.1:40001 MCA001.bll 0/3");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "session: [::1]:40002 SUB002.bll 2/3"),
            lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "done: SUB002.bll 200 bytes 2 blocks in 0 ms via tcp [::1]:40002"),
            lines.end());
  EXPECT_EQ(lines.back(), "done: MCA001.bll 300 bytes 2 blocks in 0 ms via tcp 127.0.0.1:40001");
}

TEST_F(Concurrent, AClosingConnectionEndsOnlyItsOwnSession) {
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.engine.OnSocketReceive(&b, kRequestMca001);
  f.engine.OnSocketReceive(&a, kBegin);
  f.engine.OnSocketReceive(&b, kBegin);
  f.log.lines.clear();
  f.engine.OnSocketClose(&a);
  // Its bar goes back to 0, then the report.
  EXPECT_EQ(f.log.Take(),
            (Strings{"session: 127.0.0.1:40001 MCA001.bll 0/3",
                     "failed: MCA001.bll connection closed via tcp 127.0.0.1:40001"}));
  ASSERT_EQ(f.engine.OwnDownloads().size(), 1u);
  EXPECT_EQ(f.engine.OwnDownloads()[0].peer, "[::1]:40002");
  b.sent.clear();
  f.engine.OnSocketReceive(&b, kNextAck);
  f.engine.OnSocketReceive(&b, kNextAck);
  ASSERT_EQ(b.sent.size(), 2u);
  EXPECT_EQ(DataOf(b.sent[0]), Slice(mca, 256, 44));
  EXPECT_EQ(Hex(b.sent[1]), "02 36 00 02 00 02 03 35");
}

TEST_F(Concurrent, TheSerialSessionKeepsTheWindowAndRomKeepsTheSingleSession) {
  f.Serial(kRequestMca001);
  f.engine.OnSocketReceive(&a, kRequestSub002);
  f.engine.OnSocketReceive(&a, kBegin);
  EXPECT_EQ(a.sent.size(), 2u);
  // The window keeps describing the serial session.
  EXPECT_EQ(f.engine.Snapshot().status, "MCA001.bll download is started");
  EXPECT_EQ(f.progress.ops, Strings{"range 0..3"});
  // A ROM request waits for the single session, which the serial terminal holds.
  f.engine.OnSocketReceive(&b, kRomRequestTrm1);
  EXPECT_TRUE(b.sent.empty());
  EXPECT_EQ(f.port.TakeWrites(), Strings{"02 32 00 02 01 00 03 32"});
  f.Serial(kTermError);
  f.engine.OnSocketReceive(&b, kRomRequestTrm1);
  EXPECT_EQ(f.port.TakeWrites(), Strings{"0F 32 00 01 66 BB 0E E0"});
  EXPECT_EQ(RomState(f.engine), kStateActive);
  // b drives it; the serial frames of its terminal count too.
  f.Serial(kRomBegin);
  f.engine.OnSocketReceive(&b, kRomNextAck);
  EXPECT_EQ(f.port.TakeWrites(),
            (Strings{"0F 34 00 00 00 03 66 BB 1C AA BB CC 1C 0E 39", "0F 35 0E 3B"}));
  EXPECT_TRUE(b.sent.empty());
}

TEST_F(Concurrent, AModalCommandHoldsTcpSessionsBackWithoutEndingThem) {
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.engine.OnSocketReceive(&a, kBegin);
  a.sent.clear();
  f.chooser.whileOpen = [&] {
    f.engine.OnSocketReceive(&a, kNextAck);
    f.engine.OnSocketReceive(&b, kRequestMca001);
  };
  f.engine.OnRomLocation();
  EXPECT_TRUE(a.sent.empty());
  EXPECT_TRUE(b.sent.empty());
  f.engine.OnSocketReceive(&a, kNextAck);
  ASSERT_EQ(a.sent.size(), 1u);
  EXPECT_EQ(DataOf(a.sent[0]), Slice(mca, 256, 44));
}

TEST_F(Concurrent, SilentConnectionsTimeOutOneByOne) {
  f.engine.OnSocketReceive(&a, kRequestMca001);
  f.clock.nowMs = 30000;
  f.engine.OnSocketReceive(&b, kRequestSub002);
  f.log.lines.clear();
  f.clock.nowMs = 60000;
  f.engine.OnSessionTimer();
  EXPECT_EQ(f.log.Take(), (Strings{"session: 127.0.0.1:40001 MCA001.bll 0/3",
                                   "failed: MCA001.bll timed out via tcp 127.0.0.1:40001"}));
  EXPECT_EQ(f.engine.Snapshot().status, "Session timed out !! - MCA001.bll");
  ASSERT_EQ(f.engine.OwnDownloads().size(), 1u);
  // A timed-out connection may ask again.
  f.engine.OnSocketReceive(&a, kRequestMca001);
  EXPECT_EQ(a.sent.back(), Bytes({0x02, 0x32, 0x00, 0x02, 0x01, 0x00, 0x03, 0x32}));
}

// Frame-aware hand-over of the serial reader on a real pty: complete frames go
// at once, split frames are joined, garbage and doubled frames stay one batch.
#include "comm/CommPort.h"

#include "loader/comm/MainThreadPump.h"
#include "loader/comm/PtyPair.h"
#include "support/TestBytes.h"

#include <chrono>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using testbytes::Cat;
using testbytes::WithLrc;

class FrameDispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_port.m_portDevices[0] = m_pty.Path();
    // Long enough that a loaded machine cannot make a split frame time out;
    // nothing here waits for it to run out.
    m_port.m_frameWaitMs = 5000;
  }
  /// Sends the parts with a pause between them and waits until total bytes were handed over.
  void SendInParts(const std::vector<Bytes>& parts, std::chrono::milliseconds gap) {
    std::size_t total = 0;
    for (const Bytes& p : parts) total += p.size();
    std::thread writer([&] {
      for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(gap);
        m_pty.Send(parts[i]);
      }
    });
    const bool all = m_main.PumpUntil([&] { return m_main.m_received.size() >= total; }, 10000);
    writer.join();
    ASSERT_TRUE(all);
  }

  PtyPair m_pty;
  CommPort m_port;
  MainThread m_main{m_port};
};
}  // namespace

TEST_F(FrameDispatchTest, CompleteFrameInOneReadIsOneBurst) {
  ASSERT_TRUE(m_port.Open());
  const Bytes request = WithLrc({0x0F, 0x31, 0x30, 0x0E});
  SendInParts({request}, 0ms);
  EXPECT_EQ(m_main.m_bursts, std::vector<Bytes>{request});
}

TEST_F(FrameDispatchTest, FrameSplitAcrossTheBurstPauseIsJoined) {
  ASSERT_TRUE(m_port.Open());
  const Bytes next = WithLrc({0x0F, 0x37, 0x00, 0x05, 0x06, 0x0E});
  // A gap longer than the 15 ms burst pause, as USB adapters deliver.
  SendInParts({Bytes(next.begin(), next.begin() + 3), Bytes(next.begin() + 3, next.end())}, 25ms);
  EXPECT_EQ(m_main.m_bursts, std::vector<Bytes>{next});
}

TEST_F(FrameDispatchTest, NextWhoseEarlyBytesLookLikeAnEndWaitsForItsVerdict) {
  ASSERT_TRUE(m_port.Open());
  // 0F 37 0E 39 would pass as trailer + LRC; the verdict byte comes after.
  const Bytes next = WithLrc({0x0F, 0x37, 0x0E, 0x39, 0x06, 0x0E});
  SendInParts({Bytes(next.begin(), next.begin() + 4), Bytes(next.begin() + 4, next.end())}, 25ms);
  EXPECT_EQ(m_main.m_bursts, std::vector<Bytes>{next});
}

TEST_F(FrameDispatchTest, GarbageThenFrameKeepsTheFrameWhole) {
  ASSERT_TRUE(m_port.Open());
  const Bytes garbage = {'A', 'T', 0x0D, 0x0A};
  const Bytes begin = WithLrc({0x02, 0x33, 0x03});
  SendInParts({Cat({garbage, begin})}, 0ms);
  EXPECT_EQ(m_main.m_bursts, std::vector<Bytes>{Cat({garbage, begin})});

  // Garbage alone keeps the burst rule; the frame that follows arrives whole in one burst.
  m_main.m_bursts.clear();
  m_main.m_received.clear();
  SendInParts({garbage, begin}, 40ms);
  ASSERT_FALSE(m_main.m_bursts.empty());
  const Bytes& last = m_main.m_bursts.back();
  ASSERT_GE(last.size(), begin.size());
  EXPECT_EQ(Bytes(last.end() - static_cast<std::ptrdiff_t>(begin.size()), last.end()), begin);
  EXPECT_EQ(m_main.m_received, Cat({garbage, begin}));
}

TEST_F(FrameDispatchTest, TwoFramesInOneReadStayOneBatch) {
  ASSERT_TRUE(m_port.Open());
  const Bytes two = Cat({WithLrc({0x0F, 0x33, 0x0E}), WithLrc({0x0F, 0x37, 0, 0, 0x06, 0x0E})});
  SendInParts({two}, 0ms);
  EXPECT_EQ(m_main.m_bursts, std::vector<Bytes>{two});
}

TEST_F(FrameDispatchTest, PartialFrameGoesAsItIsAfterTheWait) {
  m_port.m_frameWaitMs = 50;
  ASSERT_TRUE(m_port.Open());
  const Bytes partial = {0x0F, 0x37, 0x00};
  SendInParts({partial}, 0ms);
  EXPECT_EQ(m_main.m_bursts, std::vector<Bytes>{partial});
}

TEST_F(FrameDispatchTest, BurstRuleStillJoinsBackToBackBytes) {
  m_port.m_frameDispatch = false;
  ASSERT_TRUE(m_port.Open());
  // With the frame rule off, two frames written back to back are one burst,
  // as the burst rule has always given.
  const Bytes two = Cat({WithLrc({0x0F, 0x33, 0x0E}), WithLrc({0x0F, 0x06, 0x0E})});
  SendInParts({two}, 0ms);
  EXPECT_EQ(m_main.m_bursts, std::vector<Bytes>{two});
}

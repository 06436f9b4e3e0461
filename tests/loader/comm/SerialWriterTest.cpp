// Serial writes through the bounded queue on a real pty: bytes unchanged and in
// order, a line that takes nothing fills the queue and drops whole frames, and
// closing never waits on such a line.
#include "comm/CommPort.h"

#include "loader/comm/PtyPair.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {
class SerialWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { m_port.m_portDevices[0] = m_pty.Path(); }
  PtyPair m_pty;
  CommPort m_port;
};

std::vector<std::uint8_t> Frame(std::size_t n, std::uint8_t seed) {
  std::vector<std::uint8_t> f(n);
  for (std::size_t i = 0; i < n; ++i) f[i] = static_cast<std::uint8_t>(seed + i * 13);
  return f;
}
}  // namespace

TEST_F(SerialWriterTest, FramesLeaveWholeAndInOrder) {
  ASSERT_TRUE(m_port.Open());
  std::vector<std::uint8_t> expected;
  // More than a pty takes at once, written while the other end reads.
  std::vector<std::uint8_t> got;
  std::thread reader([&] { got = m_pty.Receive(40 * 2060, 20000); });
  for (std::uint8_t i = 0; i < 40; ++i) {
    const auto f = Frame(2060, i);
    while (m_port.Write(f) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    expected.insert(expected.end(), f.begin(), f.end());
  }
  reader.join();
  EXPECT_EQ(got, expected);
}

TEST_F(SerialWriterTest, LineThatTakesNothingFillsTheQueueAndDropsWholeFrames) {
  std::vector<std::size_t> dropped;
  m_port.SetWriteDropped([&](std::size_t n) { dropped.push_back(n); });
  ASSERT_TRUE(m_port.Open());
  // The terminal's side never reads: the pty's buffer fills, then our queue.
  int accepted = 0;
  for (int i = 0; i < 1000 && dropped.empty(); ++i) {
    const auto f = Frame(2060, static_cast<std::uint8_t>(i));
    const int n = m_port.Write(f);
    if (n != 0) {
      EXPECT_EQ(n, 2060);
      ++accepted;
    }
  }
  ASSERT_EQ(dropped, std::vector<std::size_t>{2060});
  EXPECT_GT(accepted, 0);
  EXPECT_LE(m_port.WriteQueued(), kSerialWriteQueueBytes);
  EXPECT_GT(m_port.WriteQueued() + 2060, kSerialWriteQueueBytes);
  // Close gives the queue a bounded time and returns; nothing waits for the line.
  m_port.Close();
  EXPECT_FALSE(m_port.m_open);
  EXPECT_EQ(m_port.WriteQueued(), 0u);
}

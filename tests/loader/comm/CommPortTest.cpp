// The serial channel on a real pseudo-terminal: open rules, line rate, modem
// init, bursts handed to the main thread, queue limits, close and unplug.
#include "comm/CommPort.h"

#include "comm/LineSettings.h"
#include "loader/comm/MainThreadPump.h"
#include "loader/comm/PtyPair.h"
#include "support/TestBytes.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {
using namespace std::chrono_literals;

constexpr auto Bytes = testbytes::TextBytes;

class CommPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto& dev : m_port.m_portDevices) dev = "/nonexistent/tty";
    m_port.m_portDevices[0] = m_pty.Path();
  }
  PtyPair m_pty;
  CommPort m_port;
};
}  // namespace

TEST(CommPortTimeouts, MultiplierFollowsRateAndHighRatesStayBounded) {
  const std::uint32_t expected[] = {32, 16, 8, 4, 2, 1, 0, 0, 0};
  for (std::size_t i = 0; i < kLineRates.size(); ++i) {
    SCOPED_TRACE(kLineRates[i].bitsPerSecond);
    EXPECT_EQ(WriteTimeoutMultiplier(kLineRates[i].bitsPerSecond), expected[i]);
  }
  EXPECT_EQ(WriteTimeoutMs(1200, 10), 320u);
  EXPECT_EQ(WriteTimeoutMs(38400, 8), 8u);
  // 1000 bytes at 115200: 87 ms on the line, times four, plus 2 s.
  EXPECT_EQ(WriteTimeoutMs(115200, 1000), 87u * 4 + 2000);
}

TEST_F(CommPortTest, RateTableAndFallbacks) {
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    m_port.m_baudIndex = i;
    EXPECT_TRUE(m_port.Open());
    EXPECT_TRUE(m_port.m_open);
    EXPECT_EQ(m_port.m_baudRate, RateAt(i).bitsPerSecond);
    EXPECT_EQ(GetLineRate(m_port.Fd()), RateAt(i).bitsPerSecond);
    m_port.Close();
  }
  m_port.m_baudIndex = 9;
  m_port.m_port = 9;
  EXPECT_TRUE(m_port.Open());
  EXPECT_EQ(m_port.m_baudIndex, 7);
  EXPECT_EQ(m_port.m_baudRate, 57600u);
  EXPECT_EQ(GetLineRate(m_port.Fd()), 57600u);
  EXPECT_EQ(m_port.m_port, 1);
  EXPECT_EQ(m_port.m_portName, "COM1");
  m_port.Close();
  m_port.m_port = 0;
  EXPECT_TRUE(m_port.Open());
  EXPECT_EQ(m_port.m_port, 1);
  EXPECT_EQ(m_port.m_portName, "COM1");
}

TEST_F(CommPortTest, MissingDeviceFailsQuietly) {
  m_port.m_port = 2;
  MainThread main(m_port);
  EXPECT_FALSE(m_port.Open());
  EXPECT_FALSE(m_port.m_open);
  EXPECT_EQ(m_port.m_portName, "COM2");
  EXPECT_TRUE(main.m_messages.empty());
  EXPECT_EQ(m_port.Write(Bytes("x")), 0);
}

TEST_F(CommPortTest, ModemInitIsSentWholeOnOpen) {
  m_port.m_commType = kCommModem;
  ASSERT_TRUE(m_port.Open());
  EXPECT_EQ(m_pty.Receive(16), Bytes("AT&F&C1&D2E1&K3\r"));
  m_port.Close();

  m_port.m_modemInit = "";
  ASSERT_TRUE(m_port.Open());
  EXPECT_EQ(m_pty.Receive(1), Bytes("\r"));
  m_port.Close();

  const std::string longCommand = "AT" + std::string(80, 'S') + "=0";  // longer than 49
  m_port.m_modemInit = longCommand;
  ASSERT_TRUE(m_port.Open());
  EXPECT_EQ(m_pty.Receive(longCommand.size() + 1), Bytes(longCommand + "\r"));
  m_port.Close();

  // RS-232C sends nothing on open: the first bytes the terminal sees are ours.
  m_port.m_commType = kCommRs232;
  ASSERT_TRUE(m_port.Open());
  ASSERT_EQ(m_port.Write(Bytes("\x02Z")), 2);
  EXPECT_EQ(m_pty.Receive(2), Bytes("\x02Z"));
}

TEST_F(CommPortTest, WriteSendsBytesUnchanged) {
  ASSERT_TRUE(m_port.Open());
  const std::vector<std::uint8_t> trigger = {0x02, 0x20, 0x21, 0x22, 0x23, 0x03,
                                             0x86, 0xFE, 0x0D, 0x0A, 0x00};
  EXPECT_EQ(m_port.Write(trigger), static_cast<int>(trigger.size()));
  EXPECT_EQ(m_pty.Receive(trigger.size()), trigger);
}

TEST_F(CommPortTest, BurstIsHandedOverAndReaderWaitsUntilHandled) {
  MainThread main(m_port);
  ASSERT_TRUE(m_port.Open());
  std::size_t countSeenInHandler = 0;
  std::size_t countAfterWait = 0;
  main.m_onRead = [&] {
    if (main.m_burstCount != 1) return;
    countSeenInHandler = static_cast<std::size_t>(m_port.m_readQueue.GetCount());
    // More bytes arrive while the burst is being handled: the reader must not
    // touch the queue until we return.
    m_pty.Send("more");
    std::this_thread::sleep_for(100ms);
    countAfterWait = static_cast<std::size_t>(m_port.m_readQueue.GetCount());
  };
  const std::vector<std::uint8_t> frame = {0x0F, 0x31, 0x0D, 0x0A, 0x00, 0xFF, 0x0E, 0x42};
  m_pty.Send(frame);
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_received.size() >= frame.size() + 4; }));
  EXPECT_EQ(countSeenInHandler, frame.size());
  EXPECT_EQ(countAfterWait, frame.size());
  std::vector<std::uint8_t> expected = frame;
  expected.insert(expected.end(), {'m', 'o', 'r', 'e'});
  EXPECT_EQ(main.m_received, expected);
  EXPECT_EQ(main.m_burstCount, 2);
}

TEST_F(CommPortTest, LargeInputArrivesCompleteInOrder) {
  MainThread main(m_port);
  ASSERT_TRUE(m_port.Open());
  // More than one read chunk, less than the queue holds: a burst lasts until a
  // read comes back empty, so more than 8191 bytes in one burst would be dropped.
  std::vector<std::uint8_t> data(8000);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  std::thread writer([&] { m_pty.Send(data); });
  const bool complete =
      main.PumpUntil([&] { return main.m_received.size() >= data.size(); }, 20000);
  writer.join();
  ASSERT_TRUE(complete);
  EXPECT_EQ(main.m_received, data);
  EXPECT_TRUE(main.m_messages.empty());
}

TEST_F(CommPortTest, ChunkThatDoesNotFitIsDroppedWhole) {
  MainThread main(m_port);
  main.m_drain = false;
  for (int i = 0; i < 8000; ++i) ASSERT_TRUE(m_port.m_readQueue.Put(0x55));
  ASSERT_TRUE(m_port.Open());

  // 8192 - 8000 = 192 is not greater than 192: dropped, with the message.
  m_pty.Send(std::vector<std::uint8_t>(192, 0xAA));
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_burstCount == 1; }));
  EXPECT_EQ(main.m_messages, std::vector<std::string>{"m_QueueRead FULL!"});
  EXPECT_EQ(m_port.m_readQueue.GetCount(), 8000);

  // 191 bytes fit and fill the queue to its limit of 8191.
  m_pty.Send(std::vector<std::uint8_t>(191, 0xBB));
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_burstCount == 2; }));
  EXPECT_EQ(main.m_messages.size(), 1u);
  EXPECT_EQ(m_port.m_readQueue.GetCount(), 8191);

  m_pty.Send(std::vector<std::uint8_t>(1, 0xCC));
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_burstCount == 3; }));
  EXPECT_EQ(main.m_messages.size(), 2u);
  EXPECT_EQ(m_port.m_readQueue.GetCount(), 8191);

  // Nothing stored in part: 8000 x 55 then 191 x BB.
  std::uint8_t b = 0;
  for (int i = 0; i < 8000; ++i) ASSERT_TRUE(m_port.m_readQueue.Get(&b) && b == 0x55);
  for (int i = 0; i < 191; ++i) ASSERT_TRUE(m_port.m_readQueue.Get(&b) && b == 0xBB);
  EXPECT_FALSE(m_port.m_readQueue.Get(&b));
}

TEST_F(CommPortTest, OpenIsExclusive) {
  ASSERT_TRUE(m_port.Open());
  CommPort second;
  second.m_portDevices[0] = m_pty.Path();
  EXPECT_FALSE(second.Open());
  EXPECT_FALSE(second.m_open);
  m_port.Close();
  EXPECT_FALSE(m_port.m_open);
  EXPECT_TRUE(second.Open());
  EXPECT_TRUE(second.m_open);
}

TEST_F(CommPortTest, CloseJoinsReaderWaitingForHandOff) {
  MainThread main(m_port);
  ASSERT_TRUE(m_port.Open());
  m_pty.Send("abc");
  ASSERT_TRUE(main.WaitForWakeup());
  // The reader now waits for the main thread, which closes instead of handling.
  m_port.Close();
  EXPECT_FALSE(m_port.m_open);
  EXPECT_EQ(m_port.Fd(), -1);
  // A late wake-up finds nothing to handle; the bytes stay queued.
  m_port.DispatchReaderEvent(main);
  EXPECT_EQ(main.m_burstCount, 0);
  EXPECT_EQ(m_port.m_readQueue.GetCount(), 3);
}

TEST_F(CommPortTest, CloseFromInsideTheHandlerDoesNotDeadlock) {
  MainThread main(m_port);
  ASSERT_TRUE(m_port.Open());
  main.m_onRead = [&] { m_port.Close(); };
  m_pty.Send("x");
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_burstCount == 1; }));
  EXPECT_FALSE(m_port.m_open);
  EXPECT_TRUE(m_port.Open());
}

TEST_F(CommPortTest, ReopenWithNewSettingsWhileBytesArrive) {
  MainThread main(m_port);
  ASSERT_TRUE(m_port.Open());
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const std::string chunk(64, 'z');
    // Packets with gaps, as a terminal sends them (a burst ends at a gap).
    while (!stop) {
      (void)!::write(m_pty.Master(), chunk.data(), chunk.size());
      std::this_thread::sleep_for(40ms);
    }
  });
  for (int round = 0; round < 20; ++round) {
    main.PumpUntil([&] { return false; }, 20);
    m_port.Close();
    m_port.m_baudIndex = round % 9;
    ASSERT_TRUE(m_port.Open());
    EXPECT_EQ(GetLineRate(m_port.Fd()), RateAt(round % 9).bitsPerSecond);
  }
  const int bursts = main.m_burstCount;
  EXPECT_TRUE(main.PumpUntil([&] { return main.m_burstCount > bursts; }));
  stop = true;
  writer.join();
  for (std::uint8_t b : main.m_received) ASSERT_EQ(b, 'z');
}

TEST_F(CommPortTest, UnplugEndsReaderAndReportsFailureOnce) {
  MainThread main(m_port);
  ASSERT_TRUE(m_port.Open());
  m_pty.Send("last");
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_received.size() == 4; }));
  // Hanging up discards what the line still held, as on a real unplug.
  m_pty.CloseMaster();
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_failures > 0; }));
  EXPECT_EQ(main.m_received, Bytes("last"));
  EXPECT_EQ(main.m_failures, 1);
  EXPECT_FALSE(m_port.m_open);
  EXPECT_EQ(m_port.Fd(), -1);
  // The reader is gone: no further wake-ups come.
  EXPECT_FALSE(main.WaitForWakeup(100));
  EXPECT_EQ(m_port.Write(Bytes("x")), 0);
}

// The serial channel on a real pseudo-terminal: open rules, line rate, modem
// init, bursts handed to the main thread, queue limits, close and unplug.
#include "comm/CommPort.h"

#include "comm/LineSettings.h"
#include "loader/comm/MainThreadPump.h"
#include "loader/comm/PtyPair.h"

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

std::vector<std::uint8_t> Bytes(const std::string& s) {
  return {s.begin(), s.end()};
}

class CommPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto& dev : m_Port.m_PortDevices) dev = "/nonexistent/tty";
    m_Port.m_PortDevices[0] = m_Pty.Path();
  }
  CPtyPair m_Pty;
  CCommPort m_Port;
};
}  // namespace

TEST(CommPortTimeouts, MultiplierFollowsRateAndHighRatesStayBounded) {
  const std::uint32_t expected[] = {32, 16, 8, 4, 2, 1, 0, 0, 0};
  for (std::size_t i = 0; i < kLineRates.size(); ++i) {
    SCOPED_TRACE(kLineRates[i].dwBitsPerSecond);
    EXPECT_EQ(WriteTimeoutMultiplier(kLineRates[i].dwBitsPerSecond), expected[i]);
  }
  EXPECT_EQ(WriteTimeoutMs(1200, 10), 320u);
  EXPECT_EQ(WriteTimeoutMs(38400, 8), 8u);
  // 1000 bytes at 115200: 87 ms on the line, times four, plus 2 s.
  EXPECT_EQ(WriteTimeoutMs(115200, 1000), 87u * 4 + 2000);
}

TEST_F(CommPortTest, RateTableAndFallbacks) {
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    m_Port.m_nBaudIndex = i;
    EXPECT_TRUE(m_Port.Open());
    EXPECT_TRUE(m_Port.m_bOpen);
    EXPECT_EQ(m_Port.m_dwBaudRate, RateAt(i).dwBitsPerSecond);
    EXPECT_EQ(GetLineRate(m_Port.Fd()), RateAt(i).dwBitsPerSecond);
    m_Port.Close();
  }
  m_Port.m_nBaudIndex = 9;
  m_Port.m_nPort = 9;
  EXPECT_TRUE(m_Port.Open());
  EXPECT_EQ(m_Port.m_nBaudIndex, 7);
  EXPECT_EQ(m_Port.m_dwBaudRate, 57600u);
  EXPECT_EQ(GetLineRate(m_Port.Fd()), 57600u);
  EXPECT_EQ(m_Port.m_nPort, 1);
  EXPECT_EQ(m_Port.m_strPortName, "COM1");
  m_Port.Close();
  m_Port.m_nPort = 0;
  EXPECT_TRUE(m_Port.Open());
  EXPECT_EQ(m_Port.m_nPort, 1);
  EXPECT_EQ(m_Port.m_strPortName, "COM1");
}

TEST_F(CommPortTest, MissingDeviceFailsQuietly) {
  m_Port.m_nPort = 2;
  CMainThread main(m_Port);
  EXPECT_FALSE(m_Port.Open());
  EXPECT_FALSE(m_Port.m_bOpen);
  EXPECT_EQ(m_Port.m_strPortName, "COM2");
  EXPECT_TRUE(main.m_Messages.empty());
  EXPECT_EQ(m_Port.Write(Bytes("x")), 0);
}

TEST_F(CommPortTest, ModemInitIsSentWholeOnOpen) {
  m_Port.m_nCommType = COMM_MODEM;
  ASSERT_TRUE(m_Port.Open());
  EXPECT_EQ(m_Pty.Receive(16), Bytes("AT&F&C1&D2E1&K3\r"));
  m_Port.Close();

  m_Port.m_strModemInit = "";
  ASSERT_TRUE(m_Port.Open());
  EXPECT_EQ(m_Pty.Receive(1), Bytes("\r"));
  m_Port.Close();

  const std::string longCommand = "AT" + std::string(80, 'S') + "=0";  // longer than 49
  m_Port.m_strModemInit = longCommand;
  ASSERT_TRUE(m_Port.Open());
  EXPECT_EQ(m_Pty.Receive(longCommand.size() + 1), Bytes(longCommand + "\r"));
  m_Port.Close();

  // RS-232C sends nothing on open: the first bytes the terminal sees are ours.
  m_Port.m_nCommType = COMM_RS232;
  ASSERT_TRUE(m_Port.Open());
  ASSERT_EQ(m_Port.Write(Bytes("\x02Z")), 2);
  EXPECT_EQ(m_Pty.Receive(2), Bytes("\x02Z"));
}

TEST_F(CommPortTest, WriteSendsBytesUnchanged) {
  ASSERT_TRUE(m_Port.Open());
  const std::vector<std::uint8_t> trigger = {0x02, 0x20, 0x21, 0x22, 0x23, 0x03,
                                             0x86, 0xFE, 0x0D, 0x0A, 0x00};
  EXPECT_EQ(m_Port.Write(trigger), static_cast<int>(trigger.size()));
  EXPECT_EQ(m_Pty.Receive(trigger.size()), trigger);
}

TEST_F(CommPortTest, BurstIsHandedOverAndReaderWaitsUntilHandled) {
  CMainThread main(m_Port);
  ASSERT_TRUE(m_Port.Open());
  std::size_t countSeenInHandler = 0;
  std::size_t countAfterWait = 0;
  main.m_OnRead = [&] {
    if (main.m_nBursts != 1) return;
    countSeenInHandler = static_cast<std::size_t>(m_Port.m_QueueRead.GetCount());
    // More bytes arrive while the burst is being handled: the reader must not
    // touch the queue until we return.
    m_Pty.Send("more");
    std::this_thread::sleep_for(100ms);
    countAfterWait = static_cast<std::size_t>(m_Port.m_QueueRead.GetCount());
  };
  const std::vector<std::uint8_t> frame = {0x0F, 0x31, 0x0D, 0x0A, 0x00, 0xFF, 0x0E, 0x42};
  m_Pty.Send(frame);
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_Received.size() >= frame.size() + 4; }));
  EXPECT_EQ(countSeenInHandler, frame.size());
  EXPECT_EQ(countAfterWait, frame.size());
  std::vector<std::uint8_t> expected = frame;
  expected.insert(expected.end(), {'m', 'o', 'r', 'e'});
  EXPECT_EQ(main.m_Received, expected);
  EXPECT_EQ(main.m_nBursts, 2);
}

TEST_F(CommPortTest, LargeInputArrivesCompleteInOrder) {
  CMainThread main(m_Port);
  ASSERT_TRUE(m_Port.Open());
  // More than one read chunk, less than the queue holds: a burst lasts until a
  // read comes back empty, so more than 8191 bytes in one burst would be dropped.
  std::vector<std::uint8_t> data(8000);
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  std::thread writer([&] { m_Pty.Send(data); });
  const bool complete =
      main.PumpUntil([&] { return main.m_Received.size() >= data.size(); }, 20000);
  writer.join();
  ASSERT_TRUE(complete);
  EXPECT_EQ(main.m_Received, data);
  EXPECT_TRUE(main.m_Messages.empty());
}

TEST_F(CommPortTest, ChunkThatDoesNotFitIsDroppedWhole) {
  CMainThread main(m_Port);
  main.m_bDrain = false;
  for (int i = 0; i < 8000; ++i) ASSERT_TRUE(m_Port.m_QueueRead.Put(0x55));
  ASSERT_TRUE(m_Port.Open());

  // 8192 - 8000 = 192 is not greater than 192: dropped, with the message.
  m_Pty.Send(std::vector<std::uint8_t>(192, 0xAA));
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_nBursts == 1; }));
  EXPECT_EQ(main.m_Messages, std::vector<std::string>{"m_QueueRead FULL!"});
  EXPECT_EQ(m_Port.m_QueueRead.GetCount(), 8000);

  // 191 bytes fit and fill the queue to its limit of 8191.
  m_Pty.Send(std::vector<std::uint8_t>(191, 0xBB));
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_nBursts == 2; }));
  EXPECT_EQ(main.m_Messages.size(), 1u);
  EXPECT_EQ(m_Port.m_QueueRead.GetCount(), 8191);

  m_Pty.Send(std::vector<std::uint8_t>(1, 0xCC));
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_nBursts == 3; }));
  EXPECT_EQ(main.m_Messages.size(), 2u);
  EXPECT_EQ(m_Port.m_QueueRead.GetCount(), 8191);

  // Nothing stored in part: 8000 x 55 then 191 x BB.
  std::uint8_t b = 0;
  for (int i = 0; i < 8000; ++i) ASSERT_TRUE(m_Port.m_QueueRead.Get(&b) && b == 0x55);
  for (int i = 0; i < 191; ++i) ASSERT_TRUE(m_Port.m_QueueRead.Get(&b) && b == 0xBB);
  EXPECT_FALSE(m_Port.m_QueueRead.Get(&b));
}

TEST_F(CommPortTest, OpenIsExclusive) {
  ASSERT_TRUE(m_Port.Open());
  CCommPort second;
  second.m_PortDevices[0] = m_Pty.Path();
  EXPECT_FALSE(second.Open());
  EXPECT_FALSE(second.m_bOpen);
  m_Port.Close();
  EXPECT_FALSE(m_Port.m_bOpen);
  EXPECT_TRUE(second.Open());
  EXPECT_TRUE(second.m_bOpen);
}

TEST_F(CommPortTest, CloseJoinsReaderWaitingForHandOff) {
  CMainThread main(m_Port);
  ASSERT_TRUE(m_Port.Open());
  m_Pty.Send("abc");
  ASSERT_TRUE(main.WaitForWakeup());
  // The reader now waits for the main thread, which closes instead of handling.
  m_Port.Close();
  EXPECT_FALSE(m_Port.m_bOpen);
  EXPECT_EQ(m_Port.Fd(), -1);
  // A late wake-up finds nothing to handle; the bytes stay queued.
  m_Port.DispatchReaderEvent(main);
  EXPECT_EQ(main.m_nBursts, 0);
  EXPECT_EQ(m_Port.m_QueueRead.GetCount(), 3);
}

TEST_F(CommPortTest, CloseFromInsideTheHandlerDoesNotDeadlock) {
  CMainThread main(m_Port);
  ASSERT_TRUE(m_Port.Open());
  main.m_OnRead = [&] { m_Port.Close(); };
  m_Pty.Send("x");
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_nBursts == 1; }));
  EXPECT_FALSE(m_Port.m_bOpen);
  EXPECT_TRUE(m_Port.Open());
}

TEST_F(CommPortTest, ReopenWithNewSettingsWhileBytesArrive) {
  CMainThread main(m_Port);
  ASSERT_TRUE(m_Port.Open());
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const std::string chunk(64, 'z');
    // Packets with gaps, as a terminal sends them (a burst ends at a gap).
    while (!stop) {
      (void)!::write(m_Pty.Master(), chunk.data(), chunk.size());
      std::this_thread::sleep_for(40ms);
    }
  });
  for (int round = 0; round < 20; ++round) {
    main.PumpUntil([&] { return false; }, 20);
    m_Port.Close();
    m_Port.m_nBaudIndex = round % 9;
    ASSERT_TRUE(m_Port.Open());
    EXPECT_EQ(GetLineRate(m_Port.Fd()), RateAt(round % 9).dwBitsPerSecond);
  }
  const int bursts = main.m_nBursts;
  EXPECT_TRUE(main.PumpUntil([&] { return main.m_nBursts > bursts; }));
  stop = true;
  writer.join();
  for (std::uint8_t b : main.m_Received) ASSERT_EQ(b, 'z');
}

TEST_F(CommPortTest, UnplugEndsReaderAndReportsFailureOnce) {
  CMainThread main(m_Port);
  ASSERT_TRUE(m_Port.Open());
  m_Pty.Send("last");
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_Received.size() == 4; }));
  // Hanging up discards what the line still held, as on a real unplug.
  m_Pty.CloseMaster();
  ASSERT_TRUE(main.PumpUntil([&] { return main.m_nFailures > 0; }));
  EXPECT_EQ(main.m_Received, Bytes("last"));
  EXPECT_EQ(main.m_nFailures, 1);
  EXPECT_FALSE(m_Port.m_bOpen);
  EXPECT_EQ(m_Port.Fd(), -1);
  // The reader is gone: no further wake-ups come.
  EXPECT_FALSE(main.WaitForWakeup(100));
  EXPECT_EQ(m_Port.Write(Bytes("x")), 0);
}

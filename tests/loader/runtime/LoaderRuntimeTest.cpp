// The loader runtime in-process: a real pty as COM1 and real TCP on an
// ephemeral port, with the Qt event loop as the main thread.
#include "runtime/LoaderRuntime.h"

#include "loader/comm/PtyPair.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <QTcpSocket>
#include <QTest>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
class RecordingHost : public IEngineView, public IProgressCtrl, public IMessageSink {
 public:
  void Show(const EngineSnapshot&) override { ++m_refreshes; }
  void EnableControls(bool) override {}
  void SetRange(int, int) override {}
  void SetStep(int) override {}
  void StepIt() override {}
  void SetPos(int) override {}
  void MessageBox(std::string_view text) override {
    m_messages.emplace_back(text);
    m_onMainThread = m_onMainThread && std::this_thread::get_id() == m_mainThread;
  }
  DownloadHost Host() { return DownloadHost{this, this, this, nullptr, nullptr}; }

  int m_refreshes = 0;
  std::vector<std::string> m_messages;
  bool m_onMainThread = true;
  std::thread::id m_mainThread = std::this_thread::get_id();
};

class LoaderRuntimeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "loader_runtime_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  }
  void SetUp() override {
    m_dir = m_temp.Path();
    std::ofstream(m_dir / "Romvale.cfg", std::ios::binary)
        << "[Location]\r\nROMFILE=" << m_dir.string() << "\r\nBLLFILE=" << m_dir.string()
        << "\r\n[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=115200bps\r\nTCPPACE=0\r\n["
           "Ports]\r\nCOM1="
        << m_pty.Path() << "\r\n";
    m_runtime = std::make_unique<LoaderRuntime>(m_host.Host(), m_dir.string(), 0);
    ASSERT_TRUE(m_runtime->Start());
    ASSERT_TRUE(m_runtime->SerialPort().m_open);
    ASSERT_NE(m_runtime->TcpPort(), 0);
  }
  void TearDown() override { m_runtime.reset(); }

  PtyPair m_pty;
  RecordingHost m_host;
  testsupport::TempDir m_temp{"tarvix-runtime"};
  fs::path m_dir;
  std::unique_ptr<LoaderRuntime> m_runtime;
};
}  // namespace

TEST_F(LoaderRuntimeTest, SerialBurstReachesTheCoreAndItsReplyTheLine) {
  // A BLL request for a file that does not exist: the core answers with the reject frame.
  const std::vector<std::uint8_t> request = {0x02, 0x31, 'M', 'C', 'A', '9', '9', '9', 0x03, 0x00};
  std::vector<std::uint8_t> frame = request;
  std::uint8_t lrc = 0;
  for (std::size_t i = 1; i + 1 < frame.size(); ++i) lrc ^= frame[i];
  frame.back() = lrc;
  m_pty.Send(frame);
  std::vector<std::uint8_t> reply;
  std::thread reader([&] { reply = m_pty.Receive(7, 5000); });
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return m_runtime->Engine().Snapshot().status.starts_with("File open error !! - "); },
      5000));
  reader.join();
  EXPECT_EQ(reply, (std::vector<std::uint8_t>{0x02, 0x37, 0x31, 0x31, 0x31, 0x03, 0x05}));
}

TEST_F(LoaderRuntimeTest, ReaderMessagesAreShownOnTheMainThread) {
  // One unbroken burst of more than the queue holds: later chunks are dropped.
  std::thread writer([&] { m_pty.Send(std::vector<std::uint8_t>(3 * CommPort::kReadChunk, 'A')); });
  const bool shown = QTest::qWaitFor([&] { return !m_host.m_messages.empty(); }, 10000);
  writer.join();
  ASSERT_TRUE(shown);
  EXPECT_EQ(m_host.m_messages.front(), "m_QueueRead FULL!");
  EXPECT_TRUE(m_host.m_onMainThread);
}

TEST_F(LoaderRuntimeTest, ConnectCloseCyclesLeaveNoConnectionBehind) {
  for (int i = 0; i < 200; ++i) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_runtime->TcpPort());
    ASSERT_TRUE(socket.waitForConnected(5000)) << i;
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_runtime->ConnectionCount() == 1; }, 5000)) << i;
    if (i % 2 == 0) {
      socket.disconnectFromHost();
    } else {
      socket.abort();  // a connection that fails rather than closing in order
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_runtime->ConnectionCount() == 0; }, 5000)) << i;
  }
  EXPECT_EQ(m_runtime->Engine().Snapshot().status, "TCPIP 연결 허가");
}

TEST_F(LoaderRuntimeTest, UnplugShowsPortErrorAndCanBeReopened) {
  m_pty.CloseMaster();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_runtime->SerialPort().m_open; }, 5000));
  EXPECT_EQ(m_runtime->Engine().Snapshot().portLine, "COM1 포트 오류가 발생하였습니다.");
  EXPECT_EQ(m_runtime->SerialPort().Fd(), -1);
  // The port-settings command reopens it; here the device is simply back.
  PtyPair replugged;
  m_runtime->SerialPort().m_portDevices[0] = replugged.Path();
  EXPECT_TRUE(m_runtime->SerialPort().Open());
}

TEST_F(LoaderRuntimeTest, TakenTcpPortIsReportedOnTheStatusLine) {
  RecordingHost host;
  LoaderRuntime second(host.Host(), m_dir.string(), m_runtime->TcpPort());
  second.Start();  // the port is exclusive to the first runtime too
  EXPECT_FALSE(second.ListenError().empty());
  EXPECT_EQ(second.TcpPort(), 0);
  EXPECT_TRUE(second.Engine().Snapshot().status.starts_with("TCPIP listen error !! - "));
}

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
class CRecordingHost : public IDownloadView, public IProgressCtrl, public IMessageSink {
 public:
  void UpdateData(bool) override { ++m_nRefreshes; }
  void EnableControls(bool) override {}
  void SetRange(int, int) override {}
  void SetStep(int) override {}
  void StepIt() override {}
  void SetPos(int) override {}
  void MessageBox(std::string_view text) override {
    m_Messages.emplace_back(text);
    m_bOnMainThread = m_bOnMainThread && std::this_thread::get_id() == m_MainThread;
  }
  DownloadHost Host() { return DownloadHost{this, this, this, nullptr, nullptr}; }

  int m_nRefreshes = 0;
  std::vector<std::string> m_Messages;
  bool m_bOnMainThread = true;
  std::thread::id m_MainThread = std::this_thread::get_id();
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
    m_Dir = m_Temp.Path();
    std::ofstream(m_Dir / "Romvale.cfg", std::ios::binary)
        << "[Location]\r\nROMFILE=" << m_Dir.string() << "\r\nBLLFILE=" << m_Dir.string()
        << "\r\n[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=115200bps\r\nTCPPACE=0\r\n["
           "Ports]\r\nCOM1="
        << m_Pty.Path() << "\r\n";
    m_pRuntime = std::make_unique<CLoaderRuntime>(m_Host.Host(), m_Dir.string(), 0);
    ASSERT_TRUE(m_pRuntime->Start());
    ASSERT_TRUE(m_pRuntime->CommPort().m_bOpen);
    ASSERT_NE(m_pRuntime->TcpPort(), 0);
  }
  void TearDown() override { m_pRuntime.reset(); }

  CPtyPair m_Pty;
  CRecordingHost m_Host;
  testsupport::CTempDir m_Temp{"tarvix-runtime"};
  fs::path m_Dir;
  std::unique_ptr<CLoaderRuntime> m_pRuntime;
};
}  // namespace

TEST_F(LoaderRuntimeTest, SerialBurstReachesTheCoreAndItsReplyTheLine) {
  // A BLL request for a file that does not exist: the core answers with the reject frame.
  const std::vector<std::uint8_t> request = {0x02, 0x31, 'M', 'C', 'A', '9', '9', '9', 0x03, 0x00};
  std::vector<std::uint8_t> frame = request;
  std::uint8_t lrc = 0;
  for (std::size_t i = 1; i + 1 < frame.size(); ++i) lrc ^= frame[i];
  frame.back() = lrc;
  m_Pty.Send(frame);
  std::vector<std::uint8_t> reply;
  std::thread reader([&] { reply = m_Pty.Receive(7, 5000); });
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return m_pRuntime->Dlg().m_strStatus.starts_with("File open error !! - "); }, 5000));
  reader.join();
  EXPECT_EQ(reply, (std::vector<std::uint8_t>{0x02, 0x37, 0x31, 0x31, 0x31, 0x03, 0x05}));
  EXPECT_EQ(m_pRuntime->Dlg().m_nChannel, CHANNEL_SERIAL);
}

TEST_F(LoaderRuntimeTest, ReaderMessagesAreShownOnTheMainThread) {
  // One unbroken burst of more than the queue holds: later chunks are dropped.
  std::thread writer(
      [&] { m_Pty.Send(std::vector<std::uint8_t>(3 * CCommPort::kReadChunk, 'A')); });
  const bool shown = QTest::qWaitFor([&] { return !m_Host.m_Messages.empty(); }, 10000);
  writer.join();
  ASSERT_TRUE(shown);
  EXPECT_EQ(m_Host.m_Messages.front(), "m_QueueRead FULL!");
  EXPECT_TRUE(m_Host.m_bOnMainThread);
}

TEST_F(LoaderRuntimeTest, ConnectCloseCyclesLeaveNoConnectionBehind) {
  for (int i = 0; i < 200; ++i) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, m_pRuntime->TcpPort());
    ASSERT_TRUE(socket.waitForConnected(5000)) << i;
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pRuntime->ConnectionCount() == 1; }, 5000)) << i;
    if (i % 2 == 0) {
      socket.disconnectFromHost();
    } else {
      socket.abort();  // a connection that fails rather than closing in order
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_pRuntime->ConnectionCount() == 0; }, 5000)) << i;
  }
  EXPECT_EQ(m_pRuntime->Dlg().m_nSocketCount, 0);
  EXPECT_EQ(m_pRuntime->Dlg().m_strStatus, "TCPIP 연결 허가");
}

TEST_F(LoaderRuntimeTest, UnplugShowsPortErrorAndCanBeReopened) {
  m_Pty.CloseMaster();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_pRuntime->CommPort().m_bOpen; }, 5000));
  EXPECT_EQ(m_pRuntime->Dlg().m_strPortStatus, "COM1 포트 오류가 발생하였습니다.");
  EXPECT_EQ(m_pRuntime->CommPort().Fd(), -1);
  // The port-settings command reopens it; here the device is simply back.
  CPtyPair replugged;
  m_pRuntime->CommPort().m_PortDevices[0] = replugged.Path();
  EXPECT_TRUE(m_pRuntime->CommPort().Open());
}

TEST_F(LoaderRuntimeTest, TakenTcpPortIsReportedOnTheStatusLine) {
  CRecordingHost host;
  CLoaderRuntime second(host.Host(), m_Dir.string(), m_pRuntime->TcpPort());
  second.Start();  // the port is exclusive to the first runtime too
  EXPECT_FALSE(second.ListenError().empty());
  EXPECT_EQ(second.TcpPort(), 0);
  EXPECT_TRUE(second.Dlg().m_strStatus.starts_with("TCPIP listen error !! - "));
}

// The real `Tarvix --headless` as a service: the start-up lines, warnings about
// Romvale.cfg, --config from another folder, PORT=NONE, a port that hangs up and
// comes back at its configured path, SIGHUP reloads, and stop signals.
#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/ImagePattern.h"
#include "support/TempDir.h"

#include "Terminal.h"
#include "Transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
using testsupport::FreeTcpPort;

using testsupport::ImagePattern;

class ServiceE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_dir.Path() / "rom");
    fs::create_directories(m_dir.Path() / "bll");
    fs::create_directories(m_dir.Path() / "etc");
    fs::create_directories(m_dir.Path() / "run");
    m_pty = NewPty();
    ASSERT_TRUE(m_pty);
    m_tcpPort = FreeTcpPort();
  }
  void TearDown() override {
    if (m_process) m_process->Stop(SIGTERM);
    if (HasFailure() && m_process) m_process->PrintLines("Tarvix");
    m_process.reset();
  }

  static std::unique_ptr<termsim::PtyTransport> NewPty() {
    std::string error;
    auto pty = termsim::PtyTransport::Create(error);
    EXPECT_TRUE(pty) << error;
    return pty;
  }

  std::string Path(const std::string& name) const { return (m_dir.Path() / name).string(); }

  std::string PutImage(const std::string& folder, const std::string& name, std::size_t size) {
    const std::string path = Path(folder + "/" + name);
    testsupport::WriteFile(path, ImagePattern(size, static_cast<unsigned>(size)));
    return path;
  }

  /// A Romvale.cfg with the given [Communication] lines (and TCPPORT) at path.
  void WriteConfig(const std::string& path, const std::string& communication,
                   const std::string& device) {
    testsupport::WriteFile(
        path, "[Location]\r\nROMFILE=" + Path("rom") + "\r\nBLLFILE=" + Path("bll") +
                  "\r\n[Communication]\r\nBAUD=115200bps\r\nTCPPACE=0\r\nTCPPORT=" +
                  std::to_string(m_tcpPort) + "\r\nTCPADDRESS=127.0.0.1\r\n" + communication +
                  "[Ports]\r\nCOM1=" + device + "\r\n");
  }

  void Start(const std::vector<std::string>& args, const std::string& dir) {
    m_process = std::make_unique<ChildProcess>(TARVIX_EXE, dir, args);
  }

  bool HasErr(const std::string& line) {
    const auto lines = m_process->ErrLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::unique_ptr<termsim::ITransport> ConnectTcp() {
    std::string error;
    auto line = termsim::ConnectTcp("127.0.0.1", m_tcpPort, termsim::Millis(5000), error);
    EXPECT_TRUE(line) << error;
    return line;
  }

  testsupport::TempDir m_dir;
  std::unique_ptr<termsim::PtyTransport> m_pty;
  int m_tcpPort = 0;
  std::unique_ptr<ChildProcess> m_process;
};

}  // namespace

TEST_F(ServiceE2E, ConfigFromAnotherFolderAndItsStartUpLines) {
  const std::string cfg = Path("etc/tarvix.cfg");
  WriteConfig(cfg, "PORT=COM1\r\n", m_pty->SlavePath());
  Start({"--headless", "--config", "../etc/tarvix.cfg"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForOut("port:  COM1 : Serial : 115200bps "));
  ASSERT_TRUE(m_process->WaitForErr("info: ready"));
  const auto err = m_process->ErrLines();
  ASSERT_EQ(err.size(), 4u);
  EXPECT_EQ(err[3], "info: ready");
  EXPECT_EQ(err[0], "info: configuration file " + cfg);
  EXPECT_EQ(err[1], "info: listening on TCP 127.0.0.1:" + std::to_string(m_tcpPort));
  EXPECT_EQ(err[2], "info: serial port COM1 (" + m_pty->SlavePath() + "), 115200 bit/s, RS232");
  // Its folders are served: ROM over the pty, BLL over TCP.
  auto r = termsim::RunDownload(
      *m_pty, termsim::RomDownload("TRM-1.jd0", PutImage("rom", "TRM-1.jd0", 3000)));
  EXPECT_TRUE(r.ok) << r.error;
  auto tcp = ConnectTcp();
  ASSERT_TRUE(tcp);
  r = termsim::RunDownload(
      *tcp, termsim::BllDownload(termsim::BllForm::Mca, "001", PutImage("bll", "MCA001.bll", 700)));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(fs::exists(Path("run/Romvale.cfg")));
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, ConfigFileThatCannotBeReadEndsAnExplicitStartOnly) {
  Start({"--headless", "--config", Path("etc/none.cfg")}, Path("run"));
  EXPECT_EQ(m_process->Wait(), 2);
  EXPECT_TRUE(HasErr("Tarvix: --config " + Path("etc/none.cfg") + ": No such file or directory"));

  Start({"--headless", "--config", Path("etc")}, Path("run"));  // a folder
  EXPECT_EQ(m_process->Wait(), 2);
  EXPECT_TRUE(HasErr("Tarvix: --config " + Path("etc") + ": not a regular file"));

  // The default file keeps the old behaviour (message, server runs), with a warning.
  Start({"--headless", "--tcp-port", std::to_string(m_tcpPort)}, Path("run"));
  ASSERT_TRUE(m_process->WaitForErr("message: 환경 파일이 존재하지 않습니다."));
  ASSERT_TRUE(m_process->WaitForErr("warning: configuration file"));
  EXPECT_TRUE(HasErr("warning: configuration file " + Path("run/Romvale.cfg") +
                     " cannot be read: No such file or directory; using the built-in settings"));
  EXPECT_EQ(m_process->Stop(SIGINT), 0);
}

TEST_F(ServiceE2E, ValuesNotUnderstoodAreWarnedAboutWithWhatIsUsed) {
  testsupport::WriteFile(Path("run/Romvale.cfg"),
                         "[Communication]\r\nPORT=NONE\r\nTCPPORT=" + std::to_string(m_tcpPort) +
                             "\r\nTCPADDRESS=127.0.0.1\r\nRECONNECT=maybe\r\nTCPIDLE=-5\r\n"
                             "DISPATCH=\x1b[2J\r\n");
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForErr("info: serial port"));
  const std::string prefix = "warning: " + Path("run/Romvale.cfg") + ": [Communication] ";
  EXPECT_TRUE(HasErr(prefix + "RECONNECT=maybe not understood (1 or 0); using 1"));
  EXPECT_TRUE(HasErr(prefix + "TCPIDLE=-5 not understood (0..86400 s, 0 = never); using 300"));
  EXPECT_TRUE(HasErr(prefix + "DISPATCH=\\x1B[2J not understood (FRAME or BURST); using FRAME"));
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, PortNoneServesTcpOnlyAndOpensNoDevice) {
  WriteConfig(Path("run/Romvale.cfg"), "PORT=NONE\r\n", m_pty->SlavePath());
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForOut("port: 시리얼 포트 사용 안 함"));
  ASSERT_TRUE(m_process->WaitForErr("info: serial port"));
  EXPECT_TRUE(HasErr("info: serial port none (PORT=NONE), TCP only"));
  auto tcp = ConnectTcp();
  ASSERT_TRUE(tcp);
  const auto r = termsim::RunDownload(
      *tcp,
      termsim::BllDownload(termsim::BllForm::Mca, "001", PutImage("bll", "MCA001.bll", 5000)));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.receivedBytes, 5000u);
  // The device named for COM1 is not held: Tarvix would hold its lock.
  const int fd = ::open(m_pty->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  ::close(fd);
  for (const auto& l : m_process->ErrLines()) EXPECT_FALSE(l.starts_with("warning:")) << l;
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, HungUpPortIsReopenedWhenItComesBackAtItsPath) {
  const std::string link = Path("ttyTerminal");
  fs::create_symlink(m_pty->SlavePath(), link);
  WriteConfig(Path("run/Romvale.cfg"), "PORT=COM1\r\n", link);
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForOut("port:  COM1 : Serial : 115200bps "));

  m_pty.reset();  // the terminal hangs up and its device goes away
  ASSERT_TRUE(m_process->WaitForOut("port: COM1 포트 오류가 발생하였습니다."));
  const std::string port = "serial port COM1 (" + link + "), 115200 bit/s, RS232";
  ASSERT_TRUE(m_process->WaitForErr("warning: " + port));
  const auto err = m_process->ErrLines();
  const bool reason =
      HasErr("warning: " + port + ": no such device; trying again every 1 to 8 s") ||
      HasErr("warning: " + port + ": hung up; trying again every 1 to 8 s");
  EXPECT_TRUE(reason) << err.back();

  // The adapter is plugged in again: a new device appears at the same path.
  m_pty = NewPty();
  ASSERT_TRUE(m_pty);
  fs::remove(link);
  fs::create_symlink(m_pty->SlavePath(), link);
  ASSERT_TRUE(m_process->WaitForErr("info: " + port + " open again", 20000));
  ASSERT_TRUE(m_process->WaitForOut("port:  COM1 : Serial : 115200bps "));
  const auto r = termsim::RunDownload(
      *m_pty, termsim::RomDownload("TRM-2.jd0", PutImage("rom", "TRM-2.jd0", 5000)));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.receivedBytes, 5000u);
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, ReconnectOffLeavesTheFailedPortClosed) {
  WriteConfig(Path("run/Romvale.cfg"), "PORT=COM1\r\nRECONNECT=0\r\n", Path("missing-tty"));
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForOut("port: COM1 포트 오류가 발생하였습니다."));
  ASSERT_TRUE(m_process->WaitForErr("warning: serial port"));
  EXPECT_TRUE(HasErr("warning: serial port COM1 (" + Path("missing-tty") +
                     "), 115200 bit/s, RS232: no such device"));
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, PortInUseByAnotherProgramIsNamed) {
  // Another program holds the device the way serial tools do (flock); not inherited by Tarvix.
  const int fd = ::open(m_pty->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  WriteConfig(Path("run/Romvale.cfg"), "PORT=COM1\r\n", m_pty->SlavePath());
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForErr("warning: serial port"));
  EXPECT_TRUE(
      HasErr("warning: serial port COM1 (" + m_pty->SlavePath() +
             "), 115200 bit/s, RS232: in use by another program; trying again every 1 to 8 s"));
  ::close(fd);  // it lets go: the retry takes the port
  ASSERT_TRUE(m_process->WaitForErr(
      "info: serial port COM1 (" + m_pty->SlavePath() + "), 115200 bit/s, RS232 open again",
      20000));
  const auto r = termsim::RunDownload(
      *m_pty, termsim::RomDownload("TRM-3.jd0", PutImage("rom", "TRM-3.jd0", 100)));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, SighupReloadsFoldersAndReopensThePortOnlyWhenItChanged) {
  const std::string cfg = Path("run/Romvale.cfg");
  WriteConfig(cfg, "PORT=COM1\r\n", m_pty->SlavePath());
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForOut("port:  COM1 : Serial : 115200bps "));

  // Only the folder changes: the port stays open as it is.
  fs::create_directories(Path("rom2"));
  std::string text = testsupport::ReadFile(cfg);
  text.replace(text.find(Path("rom")), Path("rom").size(), Path("rom2"));
  testsupport::WriteFile(cfg, text);
  ::kill(m_process->Pid(), SIGHUP);
  ASSERT_TRUE(
      m_process->WaitForErr("info: reload: ROMFILE " + Path("rom") + " -> " + Path("rom2")));
  EXPECT_TRUE(HasErr("info: configuration file " + cfg + " reloaded, 1 change(s)"));
  auto r = termsim::RunDownload(
      *m_pty, termsim::RomDownload("TRM-4.jd0", PutImage("rom2", "TRM-4.jd0", 2500)));
  EXPECT_TRUE(r.ok) << r.error;

  // The rate changes: the port is opened again at the new rate.
  text.replace(text.find("BAUD=115200bps"), 14, "BAUD=57600bps");
  testsupport::WriteFile(cfg, text);
  ::kill(m_process->Pid(), SIGHUP);
  ASSERT_TRUE(m_process->WaitForOut("port:  COM1 : Serial : 57600bps "));
  EXPECT_TRUE(HasErr("info: reload: BAUD 115200bps -> 57600bps"));
  r = termsim::RunDownload(*m_pty,
                           termsim::RomDownload("TRM-5.jd0", PutImage("rom2", "TRM-5.jd0", 100)));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, SighupChangesTheDispatchRuleOfTheOpenPort) {
  const std::string cfg = Path("run/Romvale.cfg");
  WriteConfig(cfg, "PORT=COM1\r\nDISPATCH=FRAME\r\n", m_pty->SlavePath());
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForOut("port:  COM1 : Serial : 115200bps "));
  termsim::DownloadOptions split =
      termsim::RomDownload("TRM-6.jd0", PutImage("rom", "TRM-6.jd0", 600));
  split.splitGap = termsim::Millis(40);  // well past the burst rule's pause
  split.replyTimeout = termsim::Millis(1500);
  auto r = termsim::RunDownload(*m_pty, split);
  EXPECT_TRUE(r.ok) << r.error;

  std::string text = testsupport::ReadFile(cfg);
  text.replace(text.find("DISPATCH=FRAME"), 14, "DISPATCH=BURST");
  testsupport::WriteFile(cfg, text);
  ::kill(m_process->Pid(), SIGHUP);
  ASSERT_TRUE(m_process->WaitForErr("info: reload: DISPATCH FRAME -> BURST"));
  ASSERT_TRUE(m_process->WaitForErr("info: serial port COM1 (" + m_pty->SlavePath() +
                                    "), 115200 bit/s, RS232 open"));
  // Whole frames are still answered on the reopened port; halves no longer are.
  r = termsim::RunDownload(*m_pty, termsim::RomDownload("TRM-6.jd0", Path("rom/TRM-6.jd0")));
  EXPECT_TRUE(r.ok) << r.error;
  r = termsim::RunDownload(*m_pty, split);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("ROM reject 1111"), std::string::npos) << r.error;
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(ServiceE2E, StopSignalsInARowStillEndCleanly) {
  WriteConfig(Path("run/Romvale.cfg"), "PORT=NONE\r\n", m_pty->SlavePath());
  Start({"--headless"}, Path("run"));
  ASSERT_TRUE(m_process->WaitForErr("info: serial port"));
  auto tcp = ConnectTcp();  // a connection still open while it shuts down
  ASSERT_TRUE(tcp);
  ::kill(m_process->Pid(), SIGTERM);
  ::kill(m_process->Pid(), SIGINT);
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

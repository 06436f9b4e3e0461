// The real `Tarvix --headless` serving several serial lines (PORTS), one
// simulated terminal on each pseudo-terminal: downloads at once, a line hung up
// and plugged in again, a ROM request over TCP.
#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

#include "Terminal.h"
#include "Transport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
constexpr std::size_t kLines = 3;

class LinesE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = m_temp.Path();
    fs::create_directories(m_dir / "img");
    for (std::size_t i = 0; i < kLines; ++i) {
      std::string error;
      m_ptys.push_back(termsim::PtyTransport::Create(error));
      ASSERT_TRUE(m_ptys.back()) << error;
      m_devices.push_back(m_ptys.back()->SlavePath());
    }
    m_tcpPort = testsupport::FreeTcpPort();
  }
  void TearDown() override {
    if (m_process) {
      m_process->Stop(SIGTERM);
      // A sanitizer build of Tarvix reports its findings on stderr.
      for (const auto& l : m_process->ErrLines())
        EXPECT_EQ(l.find("Sanitizer"), std::string::npos) << l;
    }
    if (HasFailure() && m_process) m_process->PrintLines("Tarvix");
  }

  std::string Image(const std::string& name, std::size_t size) {
    const fs::path path = m_dir / "img" / name;
    std::vector<char> data(size);
    for (std::size_t i = 0; i < size; ++i)
      data[i] = static_cast<char>(i * 7 + name.size() + (i >> 9));
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
    return path.string();
  }

  /// PORT=COM1 and PORTS=ports, each line on its own device.
  void WriteConfig(const std::string& ports) {
    std::ofstream cfg(m_dir / "Romvale.cfg", std::ios::binary);
    const std::string img = (m_dir / "img").string();
    cfg << "[Location]\r\nROMFILE=" << img << "\r\nBLLFILE=" << img
        << "\r\n[Communication]\r\nPORT=COM1\r\nPORTS=" << ports
        << "\r\nTYPE=RS232\r\nBAUD=115200bps\r\nTCPPACE=0\r\n[Ports]\r\n";
    for (std::size_t i = 0; i < kLines; ++i) cfg << "COM" << i + 1 << "=" << m_devices[i] << "\r\n";
  }

  void Start() {
    WriteConfig("COM1,COM2,COM3");
    m_process = std::make_unique<ChildProcess>(
        TARVIX_EXE, m_dir.string(),
        std::vector<std::string>{"--headless", "--progress=all", "--tcp-port",
                                 std::to_string(m_tcpPort)});
    ASSERT_TRUE(m_process->WaitForOut("port: COM3  COM3 : Serial : 115200bps "));
  }

  bool HasOut(const std::string& prefix) {
    const auto lines = m_process->OutLines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.starts_with(prefix); });
  }

  testsupport::TempDir m_temp{"tarvix-lines-e2e"};
  fs::path m_dir;
  std::vector<std::unique_ptr<termsim::PtyTransport>> m_ptys;
  std::vector<std::string> m_devices;
  int m_tcpPort = 0;
  std::unique_ptr<ChildProcess> m_process;
};

}  // namespace

TEST_F(LinesE2E, EveryLineDownloadsAtOnceAndItsLinesCarryItsName) {
  Start();
  // Two rounds, so each line's second download starts while others still run.
  const std::vector<std::vector<termsim::DownloadOptions>> rounds = {
      {termsim::RomDownload("TRM-1.jd0", Image("TRM-1.jd0", 300000)),
       termsim::BllDownload(termsim::BllForm::Mca, "001", Image("MCA001.bll", 90000)),
       termsim::RomDownload("TRM-3.jd0", Image("TRM-3.jd0", 200001))},
      {termsim::BllDownload(termsim::BllForm::Mca, "002", Image("MCA002.bll", 5000)),
       termsim::RomDownload("TRM-2.jd0", Image("TRM-2.jd0", 250000)),
       termsim::BllDownload(termsim::BllForm::Mca, "003", Image("MCA003.bll", 70000))}};
  std::vector<termsim::Result> results(kLines * rounds.size());
  {
    std::vector<std::jthread> terminals;
    for (std::size_t i = 0; i < kLines; ++i) {
      terminals.emplace_back([&, i] {
        for (std::size_t r = 0; r < rounds.size(); ++r)
          results[r * kLines + i] = termsim::RunDownload(*m_ptys[i], rounds[r][i]);
      });
    }
  }
  for (std::size_t k = 0; k < results.size(); ++k) {
    const auto& opt = rounds[k / kLines][k % kLines];
    ASSERT_TRUE(results[k].ok) << opt.expectedFile << ": " << results[k].error;
    EXPECT_EQ(results[k].receivedBytes, fs::file_size(opt.expectedFile)) << opt.expectedFile;
  }
  ASSERT_TRUE(m_process->WaitForOut("done: COM3 MCA003.bll 70000 bytes", true));
  ASSERT_TRUE(m_process->WaitForOut("done: COM1 MCA002.bll 5000 bytes", true));
  ASSERT_TRUE(m_process->WaitForOut("done: COM2 TRM-2.jd0 250000 bytes", true));
  EXPECT_TRUE(HasOut("port: COM1  COM1 : Serial : 115200bps "));
  EXPECT_TRUE(HasOut("port: COM2  COM2 : Serial : 115200bps "));
  EXPECT_TRUE(HasOut("done: COM1 TRM-1.jd0 300000 bytes 147 blocks in "));
  EXPECT_TRUE(HasOut("done: COM3 TRM-3.jd0 200001 bytes 98 blocks in "));
  for (const std::string line : {"COM1", "COM2", "COM3"}) {
    EXPECT_TRUE(HasOut(std::string("status: ") + line + " TRM-")) << line;
    EXPECT_TRUE(HasOut(std::string("progress: ") + line + " ")) << line;
  }
  for (const auto& l : m_process->OutLines()) {
    EXPECT_TRUE(l.starts_with("port: COM") || l.starts_with("status: COM") ||
                l.starts_with("progress: COM") || l.starts_with("done: COM"))
        << l;
  }
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
  for (const auto& l : m_process->ErrLines()) EXPECT_TRUE(l.starts_with("info: ")) << l;
}

TEST_F(LinesE2E, AHungUpLineComesBackWhileAnotherDownloads) {
  const std::string link = (m_dir / "ttyCOM2").string();
  fs::create_symlink(m_devices[1], link);
  m_devices[1] = link;
  Start();
  const std::string big = Image("TRM-1.jd0", 1 << 20);
  termsim::Result first;
  {
    std::jthread terminal(
        [&] { first = termsim::RunDownload(*m_ptys[0], termsim::RomDownload("TRM-1.jd0", big)); });
    m_ptys[1].reset();  // COM2's adapter is unplugged
    ASSERT_TRUE(m_process->WaitForOut("port: COM2 COM2 포트 오류가 발생하였습니다."));
    std::string error;
    m_ptys[1] = termsim::PtyTransport::Create(error);  // and plugged in again
    ASSERT_TRUE(m_ptys[1]) << error;
    fs::remove(link);
    fs::create_symlink(m_ptys[1]->SlavePath(), link);
    ASSERT_TRUE(m_process->WaitForErr(
        "info: serial line COM2 (" + link + "), 115200 bit/s, RS232 open again", 20000));
  }
  ASSERT_TRUE(first.ok) << first.error;
  EXPECT_EQ(first.receivedBytes, std::size_t{1} << 20);
  const auto again = termsim::RunDownload(
      *m_ptys[1], termsim::BllDownload(termsim::BllForm::Mca, "004", Image("MCA004.bll", 40000)));
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_EQ(again.receivedBytes, 40000u);
  ASSERT_TRUE(m_process->WaitForOut("done: COM2 MCA004.bll 40000 bytes", true));
}

TEST_F(LinesE2E, RomRequestOverTcpIsAnsweredOnThePortLine) {
  Start();
  std::string error;
  auto tcp = termsim::ConnectTcp("127.0.0.1", m_tcpPort, termsim::Millis(5000), error);
  ASSERT_TRUE(tcp) << error;
  termsim::SplitTransport split(*tcp, *m_ptys[0]);
  const auto r =
      termsim::RunDownload(split, termsim::RomDownload("TRM-5.jd0", Image("TRM-5.jd0", 30000)));
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.receivedBytes, 30000u);
  ASSERT_TRUE(m_process->WaitForOut("done: COM1 TRM-5.jd0 30000 bytes", true));
  const auto lines = m_process->OutLines();
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) {
                           return l.starts_with("done: COM1 TRM-5.jd0") &&
                                  l.ends_with(" via serial COM1");
                         }),
            lines.end());
}

TEST_F(LinesE2E, ReloadClosesALineGivenUpAndLeavesTheOthersAsTheyAre) {
  Start();
  WriteConfig("COM2");
  ASSERT_EQ(::kill(m_process->Pid(), SIGHUP), 0);
  ASSERT_TRUE(m_process->WaitForErr("info: reload: PORTS"));
  // COM3's device is let go; COM2 was not opened again.
  const int fd = ::open(m_devices[2].c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  bool freed = false;
  for (int i = 0; i < 100 && !freed; ++i) {
    freed = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!freed) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::close(fd);
  EXPECT_TRUE(freed);
  const auto err = m_process->ErrLines();
  EXPECT_EQ(
      std::count_if(err.begin(), err.end(),
                    [](const std::string& l) { return l.starts_with("info: serial line COM2"); }),
      1);
  const auto r =
      termsim::RunDownload(*m_ptys[1], termsim::RomDownload("TRM-7.jd0", Image("TRM-7.jd0", 9000)));
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_TRUE(m_process->WaitForOut("done: COM2 TRM-7.jd0 9000 bytes", true));
}

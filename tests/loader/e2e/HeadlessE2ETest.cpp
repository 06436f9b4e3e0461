// The real `Tarvix --headless` against the terminal simulator over a
// pseudo-terminal and TCP on 127.0.0.1: downloads, resends, modem dialogue,
// unplug, a taken port, the command line.
#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

#include "Terminal.h"
#include "Transport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
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
using testsupport::FreeTcpPort;
/// A port that was free a moment ago (the child binds it right after).
std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> data(size);
  for (std::size_t i = 0; i < size; ++i)
    data[i] = static_cast<std::uint8_t>((i * 131 + seed) ^ (i >> 8));
  return data;
}

struct Settings {
  std::string type = "RS232";
  std::string baud = "115200bps";
  std::string modem;  // empty: no MODEM key
  int tcpPace = 0;
  std::string port = "COM1";
  std::string communication;  // further [Communication] lines
  std::string com1;           // COM1's device ("": the test's pty)
};

class HeadlessE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = m_temp.Path();
    fs::create_directories(m_dir / "rom");
    fs::create_directories(m_dir / "bll");
    std::string error;
    m_pty = termsim::PtyTransport::Create(error);
    ASSERT_TRUE(m_pty) << error;
    m_tcpPort = FreeTcpPort();
  }
  void TearDown() override {
    if (m_process) {
      m_process->Stop(SIGTERM);
      // A sanitizer build of Tarvix reports its findings on stderr.
      for (const auto& l : m_process->ErrLines())
        EXPECT_EQ(l.find("Sanitizer"), std::string::npos) << l;
    }
    if (HasFailure() && m_process) m_process->PrintLines("Tarvix");
    m_process.reset();
  }

  std::string PutImage(const std::string& folder, const std::string& name, std::size_t size,
                       unsigned seed) {
    const fs::path path = m_dir / folder / name;
    const auto data = Pattern(size, seed);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()),
               static_cast<std::streamsize>(data.size()));
    return path.string();
  }

  void WriteConfig(const Settings& s) {
    std::ofstream cfg(m_dir / "Romvale.cfg", std::ios::binary);
    cfg << "[Location]\r\nROMFILE=" << (m_dir / "rom").string()
        << "\r\nBLLFILE=" << (m_dir / "bll").string() << "\r\n[Communication]\r\nPORT=" << s.port
        << "\r\nTYPE=" << s.type << "\r\nBAUD=" << s.baud << "\r\n";
    if (!s.modem.empty()) cfg << "MODEM=" << s.modem << "\r\n";
    cfg << "TCPPACE=" << s.tcpPace << "\r\n"
        << s.communication << "[Ports]\r\nCOM1=" << (s.com1.empty() ? m_pty->SlavePath() : s.com1)
        << "\r\n";
  }

  /// Starts Tarvix and waits until it shows its port status (port open, listening).
  void StartTarvix(const Settings& s = {}) {
    WriteConfig(s);
    m_process = std::make_unique<ChildProcess>(
        TARVIX_EXE, m_dir.string(),
        std::vector<std::string>{"--headless", "--progress=" + m_progress, "--tcp-port",
                                 std::to_string(m_tcpPort)});
    ASSERT_TRUE(m_process->WaitForOut("port: ", true));
  }

  std::string m_progress = "all";  // --progress of the next StartTarvix

  std::unique_ptr<termsim::ITransport> ConnectTcp() {
    std::string error;
    auto line = termsim::ConnectTcp("127.0.0.1", m_tcpPort, termsim::Millis(5000), error);
    EXPECT_TRUE(line) << error;
    return line;
  }

  std::string LastProgressLine() {
    std::string last;
    for (const auto& l : m_process->OutLines()) {
      if (l.starts_with("progress: ")) last = l;
    }
    return last;
  }

  testsupport::TempDir m_temp{"tarvix-e2e"};
  fs::path m_dir;
  std::unique_ptr<termsim::PtyTransport> m_pty;
  int m_tcpPort = 0;
  std::unique_ptr<ChildProcess> m_process;
};

}  // namespace

TEST_F(HeadlessE2E, RomDownloadsOverSerialOfSeveralSizesWithResends) {
  StartTarvix();
  EXPECT_EQ(m_process->OutLines().front(), "port:  COM1 : Serial : 115200bps ");
  struct Case {
    std::string name;
    std::size_t size;
    int nak;
    int badLrc;
  };
  const std::vector<Case> cases = {{"TRM-1.jd0", 1, -1, -1},
                                   {"TRM-2.jd0", 2048, -1, -1},
                                   {"TRM-3.jd0", 5000, 1, 0},
                                   {"TRM-4.jd0", 9000, 4, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto opt = termsim::RomDownload(c.name,
                                    PutImage("rom", c.name, c.size, static_cast<unsigned>(c.size)));
    opt.nakBlock = c.nak;
    opt.badLrcBlock = c.badLrc;
    const auto r = termsim::RunDownload(*m_pty, opt);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.receivedBytes, c.size);
    const std::size_t blocks = (c.size + 2047) / 2048;
    ASSERT_TRUE(m_process->WaitForOut("progress: 0/" + std::to_string(blocks + 1)));
  }
  auto missing = termsim::RomDownload("TRM-9.jd0", "");
  missing.expectMissing = true;
  const auto r = termsim::RunDownload(*m_pty, missing);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
  for (const auto& l : m_process->ErrLines()) EXPECT_TRUE(l.starts_with("info: ")) << l;
}

TEST_F(HeadlessE2E, RomRequestOverTcpIsAnsweredOnTheSerialLine) {
  StartTarvix();
  auto tcp = ConnectTcp();
  ASSERT_TRUE(tcp);
  ASSERT_TRUE(m_process->WaitForOut("status: TCPIP 연결 허가"));
  termsim::SplitTransport split(*tcp, *m_pty);
  const auto r = termsim::RunDownload(
      split, termsim::RomDownload("TRM-5.jd0", PutImage("rom", "TRM-5.jd0", 3000, 5)));
  EXPECT_TRUE(r.ok) << r.error;
}

TEST_F(HeadlessE2E, BllDownloadsOverTcpAndSerialWithResends) {
  StartTarvix();
  const std::string mca = PutImage("bll", "MCA001.bll", 700, 1);
  const std::string sub = PutImage("bll", "SUB002.bll", 300, 2);
  auto tcp = ConnectTcp();
  ASSERT_TRUE(tcp);
  auto opt = termsim::BllDownload(termsim::BllForm::Mca, "001", mca);
  opt.nakBlock = 1;
  auto r = termsim::RunDownload(*tcp, opt);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.receivedBytes, 700u);
  EXPECT_EQ(LastProgressLine(), "progress: 0/4");

  r = termsim::RunDownload(*tcp, termsim::BllDownload(termsim::BllForm::B, "001", mca));
  ASSERT_TRUE(r.ok) << r.error;
  // A serial burst after the TCP traffic: the reply goes to the serial line.
  opt = termsim::BllDownload(termsim::BllForm::C, "002", sub);
  opt.badLrcBlock = 0;
  r = termsim::RunDownload(*m_pty, opt);
  ASSERT_TRUE(r.ok) << r.error;
  auto missing = termsim::BllDownload(termsim::BllForm::Mca, "404", "");
  missing.expectMissing = true;
  r = termsim::RunDownload(*tcp, missing);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(m_process->WaitForOut("status: File open error !! - ", true));
}

TEST_F(HeadlessE2E, StdoutOfOneBlockBllDownloadOverTcpLineByLine) {
  // Every change with --progress=all; by default the in-between step and the
  // reset bar are left out. done: is the last line of the download either way.
  for (const std::string mode : {"all", "1s"}) {
    SCOPED_TRACE(mode);
    m_progress = mode;
    StartTarvix();
    auto tcp = ConnectTcp();
    ASSERT_TRUE(tcp);
    const auto r = termsim::RunDownload(
        *tcp,
        termsim::BllDownload(termsim::BllForm::Mca, "007", PutImage("bll", "MCA007.bll", 100, 7)));
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_TRUE(m_process->WaitForOut("done: ", true));
    EXPECT_EQ(m_process->Stop(SIGTERM), 0);
    std::vector<std::string> expected = {
        "port:  COM1 : Serial : 115200bps ",
        "status: TCPIP 연결 허가",
        "progress: 0/2",  // range 0..blocks+1
        "status: MCA007.bll download is started",
        "progress: 1/2",  // begin
        "status: MCA007.bll  0% downloaded...",
        "progress: 2/2",  // block 0 acknowledged
        "progress: 0/2",  // end: bar reset
        "status: MCA007.bll  100% downloaded...",
        "done: MCA007.bll 100 bytes 1 blocks in <s> s via tcp 127.0.0.1:<port>",
    };
    if (mode == "1s") {
      std::erase(expected, "progress: 1/2");
      std::erase(expected, "progress: 0/2");
      expected.insert(expected.begin() + 2, "progress: 0/2");
    }
    auto lines = m_process->OutLines();
    // The time and the client's port vary: put placeholders in.
    for (auto& l : lines) {
      if (!l.starts_with("done: ")) continue;
      const auto in = l.find(" in ");
      const auto sVia = l.find(" s via tcp 127.0.0.1:");
      ASSERT_TRUE(in != std::string::npos && sVia != std::string::npos) << l;
      l = l.substr(0, in) + " in <s> s via tcp 127.0.0.1:<port>";
    }
    EXPECT_EQ(lines, expected);
  }
}

TEST_F(HeadlessE2E, PacedTcpClientsAreBothServed) {
  Settings s;
  s.tcpPace = 500;
  StartTarvix(s);
  const std::string file = PutImage("bll", "MCA007.bll", 100, 7);
  auto first = ConnectTcp();
  auto second = ConnectTcp();
  ASSERT_TRUE(first && second);
  auto r = termsim::RunDownload(*second, termsim::BllDownload(termsim::BllForm::Mca, "007", file));
  ASSERT_TRUE(r.ok) << r.error;
  r = termsim::RunDownload(*first, termsim::BllDownload(termsim::BllForm::B, "007", file));
  EXPECT_TRUE(r.ok) << r.error;
}

TEST_F(HeadlessE2E, ModemDialogueThenRomDownloadInKilobyteBlocks) {
  Settings s;
  s.type = "MODEM";
  s.baud = "2400bps";
  s.modem = "AT&F&C1&D2E1&K3";
  termsim::ModemOptions modem;
  modem.sendOk = true;
  modem.rings = 2;
  modem.connectText = "CONNECT 2400 NoEC";
  StartTarvix(s);
  EXPECT_EQ(m_process->OutLines().front(), "port:  COM1 : Modem : 2400bps ");
  auto r = termsim::RunModemAnswer(*m_pty, modem);
  ASSERT_TRUE(r.ok) << r.error;
  // The modem's text shows in the status line, CR and LF escaped.
  EXPECT_TRUE(m_process->WaitForOut("status: \\r\\nRING\\r\\n"));
  auto opt = termsim::RomDownload("TRM-6.jd0", PutImage("rom", "TRM-6.jd0", 3000, 6));
  opt.modemLink = true;
  r = termsim::RunDownload(*m_pty, opt);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.blocks, 3);
  ASSERT_TRUE(m_process->WaitForOut("progress: 0/4"));
  r = termsim::ExpectModemTextAgain(*m_pty, modem);
  EXPECT_TRUE(r.ok) << r.error;
}

TEST_F(HeadlessE2E, UnpluggedPortIsReportedAndServerKeepsRunning) {
  StartTarvix();
  m_pty.reset();  // the device goes away
  ASSERT_TRUE(m_process->WaitForOut("port: COM1 포트 오류가 발생하였습니다."));
  auto tcp = ConnectTcp();
  ASSERT_TRUE(tcp);
  ASSERT_TRUE(m_process->WaitForOut("status: TCPIP 연결 허가"));
  EXPECT_EQ(m_process->Stop(SIGINT), 0);
}

TEST_F(HeadlessE2E, TakenTcpPortEndsTheServer) {
  const int taken = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(m_tcpPort));
  ASSERT_EQ(::bind(taken, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(taken, 1), 0);
  StartTarvix();
  // A service that cannot listen where it was told exits at once, saying where and why.
  EXPECT_EQ(m_process->Wait(5000), 1);
  const auto err = m_process->ErrLines();
  const auto errors = std::count_if(err.begin(), err.end(),
                                    [](const std::string& l) { return l.starts_with("error:"); });
  EXPECT_EQ(errors, 1);
  EXPECT_NE(std::find(err.begin(), err.end(),
                      "error: cannot listen on TCP [::]:" + std::to_string(m_tcpPort) +
                          ": Address already in use"),
            err.end());
  EXPECT_EQ(std::find(err.begin(), err.end(), "info: ready"), err.end());
  ::close(taken);
}

TEST_F(HeadlessE2E, MissingConfigurationIsAMessageAndTheServerStillRuns) {
  m_process = std::make_unique<ChildProcess>(
      TARVIX_EXE, m_dir.string(),
      std::vector<std::string>{"--headless", "--tcp-port", std::to_string(m_tcpPort)});
  ASSERT_TRUE(m_process->WaitForErr("message: 환경 파일이 존재하지 않습니다."));
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(HeadlessE2E, CommandLineHelpAndBadOptions) {
  ChildProcess help(TARVIX_EXE, m_dir.string(), {"--headless", "--help"});
  EXPECT_EQ(help.Wait(), 0);
  ASSERT_FALSE(help.OutLines().empty());
  EXPECT_TRUE(help.OutLines().front().starts_with("Usage: Tarvix"));
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--headless", "--bogus"},
                                              {"--headless", "--tcp-port"},
                                              {"--headless", "--tcp-port", "0"},
                                              {"--headless", "--tcp-port", "70000"},
                                              {"--tcp-port", "7001"}}) {
    ChildProcess p(TARVIX_EXE, m_dir.string(), bad);
    EXPECT_EQ(p.Wait(), 2) << bad.back();
    const auto err = p.ErrLines();
    ASSERT_EQ(err.size(), 2u);
    EXPECT_FALSE(err[0].empty());
    EXPECT_FALSE(err[0].starts_with("Usage"));
    EXPECT_EQ(err[1], "Try 'Tarvix --help'.");
    EXPECT_TRUE(p.OutLines().empty());
  }
}

namespace {
/// Lines of the child's stdout that start with prefix.
std::vector<std::string> LinesStartingWith(ChildProcess& p, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& l : p.OutLines()) {
    if (l.starts_with(prefix)) out.push_back(l);
  }
  return out;
}
}  // namespace

TEST_F(HeadlessE2E, BllOverTcpWhateverTheSerialPort) {
  enum class Port { Failed, HungUp, None };
  for (const Port port : {Port::Failed, Port::HungUp, Port::None}) {
    SCOPED_TRACE(static_cast<int>(port));
    Settings s;
    if (port == Port::None) s.port = "NONE";
    // A device that does not exist (also where PORT=NONE opens nothing).
    if (port != Port::HungUp) s.com1 = (m_dir / "no-such-tty").string();
    StartTarvix(s);
    if (port == Port::HungUp) {
      m_pty.reset();
      ASSERT_TRUE(m_process->WaitForOut("port: COM1 포트 오류가 발생하였습니다."));
    }
    auto tcp = ConnectTcp();
    ASSERT_TRUE(tcp);
    auto opt =
        termsim::BllDownload(termsim::BllForm::Mca, "001", PutImage("bll", "MCA001.bll", 700, 1));
    opt.nakBlock = 1;
    const auto r = termsim::RunDownload(*tcp, opt);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.receivedBytes, 700u);
    ASSERT_TRUE(m_process->WaitForOut("done: MCA001.bll 700 bytes 3 blocks in ", true));
    // A ROM request needs the serial port for its replies: no reply, and the status says why.
    PutImage("rom", "TRM-5.jd0", 100, 5);
    const auto rom = termsim::ExchangeFrame(*tcp, {0x0F, 0x31, 0x35, 0x0E, 0x0A}, {});
    EXPECT_TRUE(rom.ok) << rom.error;
    EXPECT_TRUE(m_process->WaitForOut(
        "status: Serial port not open, ROM request not answered !! - TRM-5.jd0"));
    EXPECT_EQ(m_process->Stop(SIGTERM), 0);
    m_process.reset();
    if (!m_pty) {
      std::string error;
      m_pty = termsim::PtyTransport::Create(error);
      ASSERT_TRUE(m_pty) << error;
    }
  }
}

TEST_F(HeadlessE2E, AVanishedClientNeverLocksOutTheNext) {
  Settings s;
  s.communication = "SESSIONTIMEOUT=0\r\n";  // only the closed connection may end it
  StartTarvix(s);
  const std::string file = PutImage("bll", "MCA001.bll", 700, 1);
  {
    auto gone = ConnectTcp();
    ASSERT_TRUE(gone);
    termsim::Bytes reply;
    ASSERT_TRUE(gone->Send(
        std::vector<std::uint8_t>{0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C}));
    ASSERT_EQ(gone->Receive(reply, termsim::Millis(5000)), termsim::ReadStatus::Data);
    ASSERT_TRUE(gone->Send(std::vector<std::uint8_t>{0x02, 0x33, 0x03, 0x30}));
    ASSERT_EQ(gone->Receive(reply, termsim::Millis(5000)), termsim::ReadStatus::Data);
  }  // closed mid-download
  ASSERT_TRUE(
      m_process->WaitForOut("failed: MCA001.bll connection closed via tcp 127.0.0.1:", true));
  EXPECT_TRUE(m_process->WaitForOut("progress: 0/4"));
  // Both channels are served again at once.
  auto next = ConnectTcp();
  ASSERT_TRUE(next);
  auto r = termsim::RunDownload(*next, termsim::BllDownload(termsim::BllForm::B, "001", file));
  EXPECT_TRUE(r.ok) << r.error;
  r = termsim::RunDownload(*m_pty, termsim::BllDownload(termsim::BllForm::Mca, "001", file));
  EXPECT_TRUE(r.ok) << r.error;
}

TEST_F(HeadlessE2E, ASilentSessionTimesOut) {
  Settings s;
  s.communication = "SESSIONTIMEOUT=1\r\n";
  StartTarvix(s);
  const std::string file = PutImage("bll", "MCA001.bll", 700, 1);
  auto silent = ConnectTcp();
  ASSERT_TRUE(silent);
  const auto start =
      termsim::ExchangeFrame(*silent, {0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C},
                             {0x02, 0x32, 0x00, 0x03, 0x01, 0x00, 0x03, 0x33});
  ASSERT_TRUE(start.ok) << start.error;
  ASSERT_TRUE(m_process->WaitForOut("status: Session timed out !! - MCA001.bll"));
  EXPECT_TRUE(m_process->WaitForOut("failed: MCA001.bll timed out via tcp 127.0.0.1:", true));
  const auto r =
      termsim::RunDownload(*m_pty, termsim::BllDownload(termsim::BllForm::Mca, "001", file));
  EXPECT_TRUE(r.ok) << r.error;
}

TEST_F(HeadlessE2E, ConcurrentClientsEachGetTheirOwnDownload) {
  Settings s;
  s.communication = "CONCURRENT=1\r\n";
  StartTarvix(s);
  constexpr int kClients = 8;
  std::vector<std::string> files;
  for (int i = 0; i < kClients; ++i) {
    const std::string digits = "0" + std::to_string(10 + i);
    files.push_back(PutImage("bll", "MCA" + digits + ".bll",
                             1500 + 97 * static_cast<std::size_t>(i), static_cast<unsigned>(i)));
  }
  // One more client starts and vanishes in the middle of the others.
  auto quitter = ConnectTcp();
  ASSERT_TRUE(quitter);
  const auto begun =
      termsim::ExchangeFrame(*quitter, {0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x31, 0x30, 0x03, 0x4C},
                             {0x02, 0x32, 0x00, 0x06, 0x01, 0x00, 0x03, 0x36});
  ASSERT_TRUE(begun.ok) << begun.error;

  std::vector<termsim::Result> results(kClients);
  std::vector<std::unique_ptr<termsim::ITransport>> lines;
  for (int i = 0; i < kClients; ++i) {
    lines.push_back(ConnectTcp());
    ASSERT_TRUE(lines.back());
  }
  {
    std::vector<std::jthread> clients;
    for (int i = 0; i < kClients; ++i) {
      clients.emplace_back([&, i] {
        const std::string digits = "0" + std::to_string(10 + i);
        auto opt = termsim::BllDownload(i % 2 == 0 ? termsim::BllForm::Mca : termsim::BllForm::B,
                                        digits, files[static_cast<std::size_t>(i)]);
        opt.nakBlock = i % 3;
        results[static_cast<std::size_t>(i)] =
            termsim::RunDownload(*lines[static_cast<std::size_t>(i)], opt);
      });
    }
    quitter.reset();
  }
  for (int i = 0; i < kClients; ++i) {
    EXPECT_TRUE(results[static_cast<std::size_t>(i)].ok)
        << i << ": " << results[static_cast<std::size_t>(i)].error;
  }
  ASSERT_TRUE(
      m_process->WaitForOut("failed: MCA010.bll connection closed via tcp 127.0.0.1:", true));
  EXPECT_EQ(LinesStartingWith(*m_process, "done: ").size(), static_cast<std::size_t>(kClients));
  // Each session's progress: range, begin, and one step per accepted block
  // (MCA017.bll: 2179 bytes, 9 blocks, a bar of 0..10).
  const auto sessionLines = LinesStartingWith(*m_process, "session: ");
  EXPECT_GE(sessionLines.size(), static_cast<std::size_t>(kClients * 8));
  EXPECT_NE(std::find_if(sessionLines.begin(), sessionLines.end(),
                         [](const std::string& l) { return l.ends_with(" MCA017.bll 0/10"); }),
            sessionLines.end());
}

// The real `Tarvix --headless` run unattended: a stdout nobody reads, the
// journal's priorities, escaping, sd_notify, --check-config, failed: lines and
// a metrics scrape read by Prometheus's own checker.
#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/ImagePattern.h"
#include "support/TempDir.h"

#include "Terminal.h"
#include "Transport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using testsupport::ImagePattern;

/// Tarvix with stdout on a pipe the test reads only when it wants to, stderr in
/// a file, and extra environment entries.
class Service {
 public:
  Service(const std::string& dir, std::vector<std::string> args, std::vector<std::string> env,
          bool journalStdout = false)
      : m_errPath(dir + "/stderr.txt") {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    ::fcntl(out[1], F_SETPIPE_SZ, 4096);  // a small pipe stalls soon
    m_outFd = out[0];
    const int err = ::open(m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (journalStdout) {
      struct stat info {};
      ::fstat(out[1], &info);
      env.push_back("JOURNAL_STREAM=" + std::to_string(info.st_dev) + ":" +
                    std::to_string(info.st_ino));
    }
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), TARVIX_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    const std::string cwd = dir;
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    if (::posix_spawn(&m_pid, TARVIX_EXE, &actions, nullptr, argv.data(), envp.data()) != 0) {
      m_pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(err);
  }
  ~Service() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
    m_reading = false;
    m_stopped = true;
    if (m_reader.joinable()) m_reader.join();
    ::close(m_outFd);
  }
  /// Starts (or resumes) reading stdout; Pause stops taking bytes.
  void Read() {
    m_reading = true;
    if (m_reader.joinable()) return;
    m_reader = std::thread([this] {
      char buf[65536];
      while (true) {
        if (!m_reading) {
          std::this_thread::sleep_for(10ms);
          if (m_stopped) return;
          continue;
        }
        pollfd pfd{m_outFd, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0) continue;
        const ssize_t n = ::read(m_outFd, buf, sizeof buf);
        if (n <= 0) return;
        const std::lock_guard lock(m_mutex);
        m_out.append(buf, static_cast<std::size_t>(n));
      }
    });
  }
  void Pause() { m_reading = false; }
  std::string Out() {
    const std::lock_guard lock(m_mutex);
    return m_out;
  }
  std::string Err() const { return testsupport::ReadFile(m_errPath); }
  bool WaitOut(const std::string& text, std::chrono::milliseconds timeout = 10s) {
    return WaitFor([&] { return Out().find(text) != std::string::npos; }, timeout);
  }
  bool WaitErr(const std::string& text, std::chrono::milliseconds timeout = 10s) {
    return WaitFor([&] { return Err().find(text) != std::string::npos; }, timeout);
  }
  /// Sends sig; the exit code, or -1 when it did not exit within timeout.
  int Stop(int sig, std::chrono::milliseconds timeout, std::chrono::milliseconds& took) {
    const auto start = std::chrono::steady_clock::now();
    ::kill(m_pid, sig);
    int status = 0;
    while (::waitpid(m_pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() - start > timeout) return -1;
      std::this_thread::sleep_for(5ms);
    }
    took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
    m_pid = -1;
    m_stopped = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  pid_t Pid() const { return m_pid; }

 private:
  template <typename Pred>
  static bool WaitFor(Pred pred, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(20ms);
    }
    return true;
  }

  pid_t m_pid = -1;
  int m_outFd = -1;
  std::string m_errPath;
  std::thread m_reader;
  std::atomic<bool> m_reading{false};
  std::atomic<bool> m_stopped{false};
  std::mutex m_mutex;
  std::string m_out;
};

class OperatorE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_dir.Path() / "bll");
    m_port = testsupport::FreeTcpPort();
  }
  std::string Dir() const { return m_dir.Path().string(); }
  std::string Put(const std::string& name, std::size_t size) {
    const std::string path = (m_dir.Path() / "bll" / name).string();
    testsupport::WriteFile(path, ImagePattern(size, static_cast<unsigned>(size)));
    return path;
  }
  void Config(const std::string& extra, const std::string& bllDir = "") {
    const std::string bll = bllDir.empty() ? (m_dir.Path() / "bll").string() : bllDir;
    testsupport::WriteFile(m_dir.Path() / "Romvale.cfg",
                           "[Location]\r\nROMFILE=" + bll + "\r\nBLLFILE=" + bll +
                               "\r\n[Communication]\r\nPORT=NONE\r\nTCPADDRESS="
                               "127.0.0.1\r\nTCPPORT=" +
                               std::to_string(m_port) + "\r\n" + extra);
  }
  std::unique_ptr<termsim::ITransport> Connect() {
    std::string error;
    auto line = termsim::ConnectTcp("127.0.0.1", m_port, termsim::Millis(5000), error);
    EXPECT_TRUE(line) << error;
    return line;
  }
  testsupport::TempDir m_dir;
  std::uint16_t m_port = 0;
};

std::string HttpGet(std::uint16_t port, const std::string& path) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string reply;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    (void)!::write(fd, request.data(), request.size());
    char buf[4096];
    pollfd pfd{fd, POLLIN, 0};
    // The reply ends with its Content-Length, whether or not the server closes.
    const auto complete = [&] {
      const std::size_t head = reply.find("\r\n\r\n");
      const std::size_t length = reply.find("Content-Length: ");
      return head != std::string::npos && length != std::string::npos &&
             reply.size() >= head + 4 + std::stoul(reply.substr(length + 16));
    };
    while (!complete() && ::poll(&pfd, 1, 5000) > 0) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n <= 0) break;
      reply.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return reply;
}

}  // namespace

TEST_F(OperatorE2E, StalledStdoutNeverHoldsDownloadsOrTheStop) {
  Config("TCPPACE=0\r\nCONCURRENT=1\r\n");
  constexpr int kClients = 4;
  std::vector<std::string> files;
  for (int i = 0; i < kClients; ++i)
    files.push_back(Put("MCA10" + std::to_string(i) + ".bll", 5000 * 256));
  Service tarvix(Dir(), {"--headless", "--progress=all"}, {});
  ASSERT_TRUE(tarvix.WaitErr("info: ready"));
  // Nobody reads stdout: 4 KiB of pipe, then about 1 MiB of queue, then drops.
  std::vector<std::future<termsim::Result>> runs;
  for (int i = 0; i < kClients; ++i) {
    runs.push_back(std::async(std::launch::async, [&, i] {
      auto line = Connect();
      return line ? termsim::RunDownload(
                        *line, termsim::BllDownload(termsim::BllForm::Mca, "10" + std::to_string(i),
                                                    files[static_cast<std::size_t>(i)]))
                  : termsim::Result{};
    }));
  }
  for (auto& run : runs) {
    const auto r = run.get();
    EXPECT_TRUE(r.ok) << r.error;  // byte for byte
  }
  // A new connection is still served at once.
  auto late = Connect();
  ASSERT_TRUE(late);
  EXPECT_TRUE(
      termsim::RunDownload(*late, termsim::BllDownload(termsim::BllForm::Mca, "100", files[0])).ok);
  // Reading again: what was lost is counted in one line.
  tarvix.Read();
  ASSERT_TRUE(tarvix.WaitOut(" lines dropped (output not read)\n"));
  EXPECT_TRUE(std::regex_search(tarvix.Out(), std::regex("\nwarning: [1-9][0-9]* lines dropped")));
  // Stalled again, with a download on: SIGTERM ends Tarvix at once.
  tarvix.Pause();
  auto again = Connect();
  ASSERT_TRUE(again);
  EXPECT_TRUE(
      termsim::RunDownload(*again, termsim::BllDownload(termsim::BllForm::Mca, "101", files[1]))
          .ok);
  std::chrono::milliseconds took{};
  EXPECT_EQ(tarvix.Stop(SIGTERM, 5s, took), 0);
  EXPECT_LT(took, 2s);
  EXPECT_NE(tarvix.Err().find("info: stopping (SIGTERM)\n"), std::string::npos);
}

TEST_F(OperatorE2E, JournalPrioritiesEscapedNamesAndAPortThatIsNoTerminal) {
  // A folder whose name holds a C1 control, a bidi override and a byte that is not UTF-8.
  const std::string odd = Dir() + "/bll\xE2\x80\xAE\xC2\x9B\x9B";
  fs::create_directories(odd);
  testsupport::WriteFile(m_dir.Path() / "Romvale.cfg",
                         "[Location]\r\nBLLFILE=" + odd +
                             "\r\n[Communication]\r\nPORT=COM1\r\nTCPPACE=0\r\nTCPADDRESS="
                             "127.0.0.1\r\nTCPPORT=" +
                             std::to_string(m_port) + "\r\n[Ports]\r\nCOM1=/dev/null\r\n");
  Service tarvix(Dir(), {"--headless"}, {}, true);
  tarvix.Read();
  ASSERT_TRUE(tarvix.WaitErr("info: ready"));
  auto line = Connect();
  ASSERT_TRUE(line);
  auto missing = termsim::BllDownload(termsim::BllForm::Mca, "404", "");
  missing.expectMissing = true;
  const auto r = termsim::RunDownload(*line, missing);
  EXPECT_TRUE(r.ok) << r.error;
  const std::string shown = Dir() + "/bll\\u202E\\u009B\\x9B";
  ASSERT_TRUE(
      tarvix.WaitOut("<4>failed: MCA404.bll not found in " + shown + " via tcp 127.0.0.1:"));
  const std::string out = tarvix.Out();
  EXPECT_NE(out.find("<6>port: COM1 포트 오류가 발생하였습니다.\n"), std::string::npos);
  EXPECT_NE(out.find("\n<6>status: File open error !! - MCA404.bll\n<4>failed: "),
            std::string::npos)
      << "failed: is the last line of the download";
  // stderr is no journal stream: no priorities there. /dev/null is refused and
  // tried again on the back-off, said once.
  std::this_thread::sleep_for(3500ms);
  const std::string err = tarvix.Err();
  const std::string refused =
      "warning: serial port COM1 (/dev/null), 57600 bit/s, RS232: not a "
      "terminal; trying again every 1 to 8 s\n";
  EXPECT_NE(err.find(refused), std::string::npos) << err;
  EXPECT_EQ(err.find(refused), err.rfind(refused));
  EXPECT_EQ(err.find('<'), std::string::npos);
  EXPECT_EQ(err.find("\xE2\x80\xAE"), std::string::npos);
}

TEST_F(OperatorE2E, SystemdHearsReadyWatchdogStatusAndStopping) {
  Config("");
  const std::string path = Dir() + "/notify";
  const int sock = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  path.copy(addr.sun_path, sizeof addr.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  const auto next = [&] {
    pollfd pfd{sock, POLLIN, 0};
    char buf[512];
    if (::poll(&pfd, 1, 5000) <= 0) return std::string("(nothing)");
    const ssize_t n = ::recv(sock, buf, sizeof buf, 0);
    return std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
  };
  Service tarvix(Dir(), {"--headless"}, {"NOTIFY_SOCKET=" + path, "WATCHDOG_USEC=200000"});
  std::vector<std::string> got;
  for (int i = 0; i < 4; ++i) got.push_back(next());
  EXPECT_NE(std::find(got.begin(), got.end(), "READY=1\nSTATUS=serving; 0 downloads running"),
            got.end());
  EXPECT_GE(std::count(got.begin(), got.end(), "WATCHDOG=1"), 2);
  ::kill(tarvix.Pid(), SIGTERM);
  std::string message;
  for (int i = 0; i < 20 && message != "STOPPING=1" && message != "(nothing)"; ++i)
    message = next();
  EXPECT_EQ(message, "STOPPING=1");
  ::close(sock);
}

TEST_F(OperatorE2E, CheckConfigOnGoodAndMistypedFiles) {
  Config("");
  const auto check = [&](std::vector<std::string>& lines) {
    ChildProcess p(TARVIX_EXE, Dir(), {"--check-config"});
    const int code = p.Wait();
    lines = p.OutLines();
    return code;
  };
  std::vector<std::string> lines;
  EXPECT_EQ(check(lines), 0);
  EXPECT_EQ(lines, std::vector<std::string>{"ok"});
  Config("TCPPROT=7100\r\nSESSIONTIMEOUT=soon\r\n[Comunication]\r\n", Dir() + "/gone");
  EXPECT_EQ(check(lines), 1);
  const std::string file = "warning: " + Dir() + "/Romvale.cfg: ";
  EXPECT_EQ(
      lines,
      (std::vector<std::string>{
          file + "[Communication] SESSIONTIMEOUT=soon not understood (0..86400 s, 0 = "
                 "never); using 60",
          file + "line 8: unknown key [Communication] TCPPROT (did you mean TCPPORT?)",
          file + "line 10: unknown section [Comunication] (did you mean [Communication]?)",
          file + "[Location] ROMFILE=" + Dir() + "/gone: folder does not exist",
          file + "[Location] BLLFILE=" + Dir() + "/gone: folder does not exist", "5 problems"}));
}

TEST_F(OperatorE2E, MetricsScrapedDuringDownloads) {
  const std::uint16_t metricsPort = testsupport::FreeTcpPort();
  Config("TCPPACE=150\r\nMETRICSPORT=" + std::to_string(metricsPort) + "\r\n");
  const std::string file = Put("MCA001.bll", 10 * 256 + 7);
  Service tarvix(Dir(), {"--headless"}, {});
  tarvix.Read();
  ASSERT_TRUE(tarvix.WaitErr("info: ready"));
  EXPECT_NE(HttpGet(metricsPort, "/healthz").find("\r\n\r\nok\n"), std::string::npos);
  auto run = std::async(std::launch::async, [&] {
    auto line = Connect();
    return line ? termsim::RunDownload(*line,
                                       termsim::BllDownload(termsim::BllForm::Mca, "001", file))
                : termsim::Result{};
  });
  std::string during;
  for (int i = 0; i < 100 && during.find("\ntarvix_active_downloads 1\n") == std::string::npos;
       ++i) {
    during = HttpGet(metricsPort, "/metrics");
    std::this_thread::sleep_for(20ms);
  }
  EXPECT_NE(during.find("\ntarvix_tcp_connections 1\n"), std::string::npos) << during;
  const auto r = run.get();
  ASSERT_TRUE(r.ok) << r.error;
  ASSERT_TRUE(tarvix.WaitOut("done: MCA001.bll"));
  const std::string after = HttpGet(metricsPort, "/metrics");
  const std::size_t body = after.find("\r\n\r\n");
  ASSERT_NE(body, std::string::npos);
  EXPECT_NE(after.substr(0, body).find("text/plain; version=0.0.4"), std::string::npos);
  const std::string text = after.substr(body + 4);
  // Every line is a comment or a sample of the text format.
  const std::regex sample(R"(tarvix_[a-z_]+(\{([a-z]+="[^"\\]*",?)+\})? [0-9]+)");
  const std::regex comment(R"(# (HELP|TYPE) tarvix_[a-z_]+ .+)");
  std::size_t samples = 0;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = text.substr(at, end - at);
    const bool isSample = std::regex_match(line, sample);
    EXPECT_TRUE(isSample || std::regex_match(line, comment)) << line;
    samples += isSample ? 1 : 0;
  }
  EXPECT_EQ(samples, 14u);
  for (const char* expected :
       {"tarvix_downloads_total{channel=\"tcp\",kind=\"bll\",result=\"done\"} 1\n",
        "tarvix_downloads_total{channel=\"tcp\",kind=\"bll\",result=\"failed\"} 0\n",
        "tarvix_bytes_sent_total 2567\n", "tarvix_active_downloads 0\n",
        "tarvix_output_lines_dropped_total 0\n", "tarvix_build_info{version=\""}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected;
  }
  // Prometheus's own checker reads it too.
  if (std::system("command -v promtool > /dev/null") != 0) {
    GTEST_SKIP() << "promtool not installed: the text was checked by this test only";
  }
  const std::string saved = Dir() + "/metrics.txt";
  testsupport::WriteFile(saved, text);
  EXPECT_EQ(std::system(("promtool check metrics < '" + saved + "'").c_str()), 0);
}

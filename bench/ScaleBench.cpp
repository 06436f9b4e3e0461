// Scale figures of Tarvix --headless against the terminal simulator, printed as
// one JSON object:
//   - ROM turnaround per block over a pty with frame-aware dispatch and with the
//     pure burst rule;
//   - 1, 10 and 100 TCP clients at once, each downloading a 64 KiB BLL file, with
//     TCPPACE=0 and with the default pacing (CONCURRENT=1);
//   - peak memory while serving a 128 MiB ROM image (65535 blocks) over a pty;
//   - open descriptors before and after 10 000 TCP connect/close cycles.
// Every image is compared byte for byte by the simulator.
#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

#include "Terminal.h"
#include "Transport.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {
using testsupport::FreeTcpPort;

struct BenchOptions {
  bool quick = false;  // smaller images and no paced runs: a smoke run of the bench itself
};

void WriteImage(const fs::path& path, std::size_t size) {
  std::vector<char> data(size);
  for (std::size_t i = 0; i < size; ++i) {
    data[i] = static_cast<char>(((i * 131 + 7) ^ (i >> 9)) & 0xFF);
  }
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

/// One Tarvix --headless in its own folder, serving dir for ROM and BLL files.
class Server {
 public:
  Server(const fs::path& dir, const std::string& ptyPath, const std::string& extraKeys)
      : m_tcpPort(FreeTcpPort()) {
    std::ofstream(dir / "Romvale.cfg", std::ios::binary)
        << "[Location]\r\nROMFILE=" << dir.string() << "\r\nBLLFILE=" << dir.string()
        << "\r\n[Communication]\r\nPORT=" << (ptyPath.empty() ? "NONE" : "COM1")
        << "\r\nTYPE=RS232\r\nBAUD=115200bps\r\n"
        << extraKeys << "[Ports]\r\nCOM1=" << ptyPath << "\r\n";
    m_process = std::make_unique<ChildProcess>(
        TARVIX_EXE, dir.string(),
        std::vector<std::string>{"--headless", "--tcp-port", std::to_string(m_tcpPort)});
    m_started = m_process->WaitForOut("port: ", true);
  }
  ~Server() {
    if (m_process) m_process->Stop(SIGTERM);
  }
  bool Started() const { return m_started; }
  std::uint16_t TcpPort() const { return m_tcpPort; }
  pid_t Pid() const { return m_process->Pid(); }

 private:
  std::uint16_t m_tcpPort;
  std::unique_ptr<ChildProcess> m_process;
  bool m_started = false;
};

/// A value of /proc/<pid>/status in kB (VmHWM, VmRSS), or -1.
long ProcStatusKb(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  }
  return -1;
}

long OpenFdCount(pid_t pid) {
  std::error_code error;
  long count = 0;
  for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error);
       !error && it != fs::directory_iterator(); it.increment(error)) {
    ++count;
  }
  return error ? -1 : count;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      out += ' ';
      continue;
    }
    out += c;
  }
  return out + "\"";
}

/// ROM download over a pty with the given DISPATCH value; the median turnaround.
std::string RomTurnaround(const std::string& dispatch, std::size_t imageSize) {
  testsupport::TempDir dir("tarvix-scale");
  WriteImage(dir.Path() / "TRM-1.jd0", imageSize);
  std::string error;
  auto pty = termsim::PtyTransport::Create(error);
  if (!pty) return "{\"error\": " + JsonString(error) + "}";
  Server server(dir.Path(), pty->SlavePath(), "TCPPACE=0\r\nDISPATCH=" + dispatch + "\r\n");
  if (!server.Started()) return "{\"error\": \"Tarvix did not start\"}";
  termsim::DownloadOptions rom;
  rom.family = termsim::Family::Rom;
  rom.romSelector = *termsim::RomSelectorForName("TRM-1.jd0");
  rom.expectedFile = (dir.Path() / "TRM-1.jd0").string();
  const termsim::Result r = termsim::RunDownload(*pty, rom);
  char text[256];
  std::snprintf(
      text, sizeof text,
      "{\"ok\": %s, \"blocks\": %d, \"blocks_per_s\": %.1f, \"median_turnaround_ms\": %.3f",
      r.ok ? "true" : "false", r.blocks, r.blocksPerSecond, r.medianTurnaroundMs);
  return text + (r.ok ? std::string() : ", \"error\": " + JsonString(r.error)) + "}";
}

/// clients TCP clients at once, each a whole BLL download of its own file.
std::string ConcurrentClients(int clients, int pace, std::size_t imageSize) {
  testsupport::TempDir dir("tarvix-scale");
  for (int i = 0; i < clients; ++i) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", i);
    WriteImage(dir.Path() / ("MCA" + std::string(digits) + ".bll"), imageSize);
  }
  Server server(dir.Path(), "", "TCPPACE=" + std::to_string(pace) + "\r\nCONCURRENT=1\r\n");
  if (!server.Started()) return "{\"error\": \"Tarvix did not start\"}";

  std::vector<termsim::Result> results(static_cast<std::size_t>(clients));
  std::vector<double> seconds(static_cast<std::size_t>(clients), 0.0);
  const auto start = Clock::now();
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < clients; ++i) {
      threads.emplace_back([&, i] {
        const auto index = static_cast<std::size_t>(i);
        std::string error;
        auto tcp =
            termsim::ConnectTcp("127.0.0.1", server.TcpPort(), termsim::Millis(10000), error);
        if (!tcp) {
          results[index].error = error;
          return;
        }
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", i);
        termsim::DownloadOptions bll;
        bll.family = termsim::Family::Bll;
        bll.bllForm = termsim::BllForm::Mca;
        bll.bllDigits = digits;
        bll.expectedFile = (dir.Path() / ("MCA" + std::string(digits) + ".bll")).string();
        bll.replyTimeout = termsim::Millis(30000);
        results[index] = termsim::RunDownload(*tcp, bll);
        seconds[index] = std::chrono::duration<double>(Clock::now() - start).count();
      });
    }
  }
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  int ok = 0;
  long blocks = 0;
  std::string firstError;
  for (const auto& r : results) {
    if (r.ok) {
      ++ok;
      blocks += r.blocks;
    } else if (firstError.empty()) {
      firstError = r.error;
    }
  }
  const auto [fastest, slowest] = std::minmax_element(seconds.begin(), seconds.end());
  char text[320];
  std::snprintf(text, sizeof text,
                "{\"clients\": %d, \"tcppace_ms\": %d, \"all_byte_exact\": %s, \"served\": %d, "
                "\"aggregate_blocks_per_s\": %.1f, \"wall_s\": %.2f, \"slowest_to_fastest\": %.2f",
                clients, pace, ok == clients ? "true" : "false", ok,
                static_cast<double>(blocks) / wall, wall, *fastest > 0 ? *slowest / *fastest : 0.0);
  return text + (firstError.empty() ? std::string() : ", \"error\": " + JsonString(firstError)) +
         "}";
}

/// Peak resident memory of Tarvix while it serves a large ROM image over a pty.
std::string LargeRomMemory(std::size_t imageSize) {
  testsupport::TempDir dir("tarvix-scale");
  WriteImage(dir.Path() / "TRM-1.jd0", imageSize);
  std::string error;
  auto pty = termsim::PtyTransport::Create(error);
  if (!pty) return "{\"error\": " + JsonString(error) + "}";
  Server server(dir.Path(), pty->SlavePath(), "TCPPACE=0\r\n");
  if (!server.Started()) return "{\"error\": \"Tarvix did not start\"}";
  const long startKb = ProcStatusKb(server.Pid(), "VmRSS");
  termsim::DownloadOptions rom;
  rom.family = termsim::Family::Rom;
  rom.romSelector = *termsim::RomSelectorForName("TRM-1.jd0");
  rom.expectedFile = (dir.Path() / "TRM-1.jd0").string();
  const auto start = Clock::now();
  const termsim::Result r = termsim::RunDownload(*pty, rom);
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  char text[320];
  std::snprintf(text, sizeof text,
                "{\"image_bytes\": %zu, \"ok\": %s, \"blocks\": %d, \"seconds\": %.1f, "
                "\"rss_start_kb\": %ld, \"peak_rss_kb\": %ld",
                imageSize, r.ok ? "true" : "false", r.blocks, wall, startKb,
                ProcStatusKb(server.Pid(), "VmHWM"));
  return text + (r.ok ? std::string() : ", \"error\": " + JsonString(r.error)) + "}";
}

/// Open descriptors of Tarvix before and after many connect/close cycles.
std::string ConnectCloseCycles(int cycles) {
  testsupport::TempDir dir("tarvix-scale");
  Server server(dir.Path(), "", "");
  if (!server.Started()) return "{\"error\": \"Tarvix did not start\"}";
  const long before = OpenFdCount(server.Pid());
  int failed = 0;
  for (int i = 0; i < cycles; ++i) {
    std::string error;
    auto tcp = termsim::ConnectTcp("127.0.0.1", server.TcpPort(), termsim::Millis(5000), error);
    if (!tcp) ++failed;
  }
  // Give the server a moment to see the last closes.
  long after = -1;
  for (int i = 0; i < 100; ++i) {
    after = OpenFdCount(server.Pid());
    if (after <= before) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  char text[200];
  std::snprintf(
      text, sizeof text,
      "{\"cycles\": %d, \"connect_failures\": %d, \"fds_before\": %ld, \"fds_after\": %ld}", cycles,
      failed, before, after);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  BenchOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      options.quick = true;
    } else {
      std::fprintf(stderr,
                   "Usage: tarvix_scale_bench [--quick]\n"
                   "Prints Tarvix's scale figures as JSON. --quick: small images, no paced\n"
                   "runs (a smoke run of the benchmark, not figures to quote).\n");
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }
  ::signal(SIGPIPE, SIG_IGN);
  const std::size_t romSize = options.quick ? 64 * 1024 : 1024 * 1024;
  const std::size_t bllSize = options.quick ? 4 * 1024 : 64 * 1024;
  const std::size_t largeRom = options.quick ? 1024 * 1024 : std::size_t{65535} * 2048;

  std::printf("{\n  \"rom_turnaround\": {\n    \"frame\": %s,\n",
              RomTurnaround("FRAME", romSize).c_str());
  std::fflush(stdout);
  std::printf("    \"burst\": %s\n  },\n", RomTurnaround("BURST", romSize).c_str());
  std::fflush(stdout);
  std::printf("  \"concurrent_tcp\": [\n");
  bool first = true;
  for (int pace : {0, 500}) {
    if (pace != 0 && options.quick) continue;
    for (int clients : {1, 10, 100}) {
      std::printf("%s    %s", first ? "" : ",\n",
                  ConcurrentClients(clients, pace, bllSize).c_str());
      std::fflush(stdout);
      first = false;
    }
  }
  std::printf("\n  ],\n  \"large_rom\": %s,\n", LargeRomMemory(largeRom).c_str());
  std::fflush(stdout);
  std::printf("  \"connect_close\": %s\n}\n",
              ConnectCloseCycles(options.quick ? 500 : 10000).c_str());
  return 0;
}

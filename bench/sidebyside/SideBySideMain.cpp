// tarvix_vs_tftpd: Tarvix --headless (BLL over TCP, CONCURRENT=1, TCPPACE=0)
// side by side with tftpd-hpa (TFTP read, blksize 256), both on 127.0.0.1,
// serving the same 64 KiB file in 256-byte blocks to 1, 10, 100 and 1 000
// lock-step clients at once. Prints one JSON object.
#include "ClientRun.h"
#include "ServerCpu.h"

#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr double kGoalCpuUsPerBlock = 8;
constexpr double kGoalSlowestOverFastest = 3;
constexpr long kGoalMemoryKb = 100 * 1000;

constexpr const char* kUsage =
    "Usage: tarvix_vs_tftpd [options]\n"
    "Serves one file with tftpd-hpa (TFTP, blksize 256) and with Tarvix --headless\n"
    "(BLL over TCP, CONCURRENT=1, TCPPACE=0) on 127.0.0.1 to lock-step clients,\n"
    "compares every download byte for byte and prints the figures as JSON.\n"
    "  --clients LIST   client counts, comma-separated (default 1,10,100,1000)\n"
    "  --seconds S      time each client count runs for (default 3); every client\n"
    "                   finishes at least one download\n"
    "  --size BYTES     size of the file (default 65536)\n"
    "  --tarvix PATH    Tarvix to run (default: the one built beside this program)\n"
    "  --tftpd PATH     in.tftpd to run (default /usr/sbin/in.tftpd)\n"
    "  --floor PATH     the minimal BLL server measured as the floor of CPU per\n"
    "                   block: one epoll loop, one read and one send per block\n"
    "                   (default: the one built beside this program; \"\" = not\n"
    "                   measured)\n"
    "  --ring-floor PATH  the same server with its system calls batched through\n"
    "                   io_uring (default: the one built beside this program when\n"
    "                   liburing was there to build it; \"\" = not measured)\n"
    "  --perf PATH      perf, which counts each server's CPU with every process it\n"
    "                   forks (default /usr/bin/perf; \"\" = machine figure only)\n"
    "  --help           this text\n";

struct Options {
  std::vector<int> clients{1, 10, 100, 1000};
  double seconds = 3;
  std::size_t size = 65536;
  std::string tarvix = TARVIX_EXE;
  std::string tftpd = "/usr/sbin/in.tftpd";
  std::string floor = FLOOR_EXE;
#ifdef RING_FLOOR_EXE
  std::string ringFloor = RING_FLOOR_EXE;
#else
  std::string ringFloor;
#endif
  std::string perf = "/usr/bin/perf";
};

std::optional<Options> ParseArgs(int argc, char** argv, bool& help) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      help = true;
      return options;
    }
    if (i + 1 >= argc) return std::nullopt;
    const std::string value = argv[++i];
    try {
      if (arg == "--clients") {
        options.clients.clear();
        std::stringstream list(value);
        for (std::string item; std::getline(list, item, ',');) {
          const int n = std::stoi(item);
          if (n < 1 || n > 10000) return std::nullopt;
          options.clients.push_back(n);
        }
      } else if (arg == "--seconds") {
        options.seconds = std::stod(value);
        if (!(options.seconds >= 0 && options.seconds <= 600)) return std::nullopt;
      } else if (arg == "--size") {
        options.size = std::stoul(value);
        if (options.size < 1 || options.size > 16 * 1024 * 1024) return std::nullopt;
      } else if (arg == "--tarvix") {
        options.tarvix = value;
      } else if (arg == "--tftpd") {
        options.tftpd = value;
      } else if (arg == "--floor") {
        options.floor = value;
      } else if (arg == "--ring-floor") {
        options.ringFloor = value;
      } else if (arg == "--perf") {
        options.perf = value;
      } else {
        return std::nullopt;
      }
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  return options;
}

std::uint16_t FreePort(int type) {
  const int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  ::close(fd);
  return port;
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  return addr;
}

/// One download with retries until the server answers (it may still be starting);
/// false at once when the server has ended.
bool WarmUp(const ClientFactory& factory, const DownloadTarget& target,
            const CountedServer& server) {
  for (int attempt = 0; attempt < 20 && server.Alive(); ++attempt) {
    if (RunClients(factory, target, 1, 0, 2, server.ServerPid()).downloads == 1) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

std::string Json(const std::string& name, const RunFigures& f) {
  const double rate = f.seconds > 0 ? static_cast<double>(f.blocks) / f.seconds : 0;
  const double blocks = f.blocks > 0 ? static_cast<double>(f.blocks) : 1;
  char cpu[32] = "null";  // no perf: not counted
  if (f.serverCpuSeconds >= 0)
    std::snprintf(cpu, sizeof cpu, "%.2f", f.serverCpuSeconds * 1e6 / blocks);
  const std::string serverCpu = cpu;
  char text[1024];
  std::snprintf(
      text, sizeof text,
      "{\"server\": \"%s\", \"clients\": %d, \"downloads_exact\": %ld, \"mismatched\": %ld, "
      "\"failed\": %ld, \"blocks\": %ld, \"seconds\": %.3f, \"blocks_per_s\": %.0f, "
      "\"fastest_download_s\": %.4f, \"slowest_download_s\": %.4f, "
      "\"slowest_over_fastest\": %.2f, \"first_round_slowest_over_fastest\": %.2f, "
      "\"server_cpu_us_per_block\": %s, "
      "\"machine_busy_minus_client_us_per_block\": %.2f, \"client_cpu_us_per_block\": %.2f, "
      "\"server_peak_rss_mb\": %.1f}",
      name.c_str(), f.clients, f.downloads, f.mismatched, f.failed, f.blocks, f.seconds, rate,
      f.fastestDownloadSeconds, f.slowestDownloadSeconds,
      f.fastestDownloadSeconds > 0 ? f.slowestDownloadSeconds / f.fastestDownloadSeconds : 0,
      f.firstRoundFastestSeconds > 0 ? f.firstRoundSlowestSeconds / f.firstRoundFastestSeconds : 0,
      serverCpu.c_str(), (f.machineBusySeconds - f.clientCpuSeconds) * 1e6 / blocks,
      f.clientCpuSeconds * 1e6 / blocks, static_cast<double>(f.serverPeakRssKb) / 1024.0);
  return text;
}

double Rate(const RunFigures& f) {
  return f.seconds > 0 ? static_cast<double>(f.blocks) / f.seconds : 0;
}
}  // namespace

int main(int argc, char** argv) {
  bool help = false;
  const auto options = ParseArgs(argc, argv, help);
  if (!options) {
    std::cerr << "tarvix_vs_tftpd: bad arguments\nTry 'tarvix_vs_tftpd --help'.\n";
    return 2;
  }
  if (help) {
    std::cout << kUsage;
    return 0;
  }
  // 1 000 clients need 1 000 descriptors at least.
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }

  std::vector<std::string> programs = {options->tftpd, options->tarvix};
  if (!options->floor.empty()) programs.push_back(options->floor);
  if (!options->ringFloor.empty()) programs.push_back(options->ringFloor);
  for (const std::string& exe : programs) {
    if (::access(exe.c_str(), X_OK) != 0) {
      std::cerr << "tarvix_vs_tftpd: cannot run " << exe
                << " (scripts/setup installs tftpd-hpa; see --help)\n";
      return 1;
    }
  }
  char pattern[] = "/tmp/tarvix-vs-tftpd-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir = pattern;
  const std::string fileName = "MCA001.bll";
  std::vector<std::uint8_t> image(options->size);
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>(((i * 131 + 7) ^ (i >> 9)) & 0xFF);
  std::ofstream(dir / fileName, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()),
             static_cast<std::streamsize>(image.size()));

  const std::uint16_t tftpPort = FreePort(SOCK_DGRAM);
  const std::uint16_t tcpPort = FreePort(SOCK_STREAM);
  std::ofstream(dir / "Romvale.cfg", std::ios::binary)
      << "[Location]\r\nROMFILE=" << dir.string() << "\r\nBLLFILE=" << dir.string()
      << "\r\n[Communication]\r\nPORT=NONE\r\nTCPADDRESS=127.0.0.1\r\nCONCURRENT=1\r\n"
      << "TCPPACE=0\r\nTCPMAXCONN=65535\r\n";
  // Root: tftpd-hpa serves its folder as the root (chroot) and drops to this user.
  const bool root = ::geteuid() == 0;
  std::vector<std::string> tftpArgs = {"-L", "-a", "127.0.0.1:" + std::to_string(tftpPort)};
  if (root) tftpArgs.insert(tftpArgs.end(), {"-u", "root", "-s", dir.string()});
  const std::vector<std::string> tarvixArgs = {"--headless", "--tcp-port", std::to_string(tcpPort)};
  const std::vector<std::string> floorArgs = {std::to_string(tcpPort), dir.string()};
  const DownloadTarget tftpTarget{Loopback(tftpPort), root ? fileName : (dir / fileName).string(),
                                  image, 256};
  const DownloadTarget bllTarget{Loopback(tcpPort), fileName, image, 256};

  // Each client count gets fresh servers; only the run itself is counted.
  const auto measure = [&](const std::string& exe, const std::vector<std::string>& args,
                           const std::string& tag, const ClientFactory& factory,
                           const DownloadTarget& target, int clients) -> std::optional<RunFigures> {
    CountedServer server(options->perf, exe, args, dir.string(), tag);
    if (!WarmUp(factory, target, server)) {
      std::cerr << "tarvix_vs_tftpd: " << exe << " does not serve; it said:\n"
                << std::ifstream(dir / (tag + ".err")).rdbuf() << "\n";
      return std::nullopt;
    }
    const bool counting = server.Enable();
    RunFigures figures = RunClients(factory, target, clients, options->seconds,
                                    options->seconds + 30 + clients / 10.0, server.ServerPid());
    if (counting) server.Disable();
    const double cpu = server.Finish();
    if (counting) figures.serverCpuSeconds = cpu;
    return figures;
  };

  int status = 0;
  // The goals, judged over the whole run.
  bool fasterEverywhere = true, cpuWithinGoal = true, thousandFair = true, memoryWithinGoal = true;
  bool thousandRun = false;
  int runsDone = 0;
  double worstCpu = 0;
  std::cout << "{\n  \"file_bytes\": " << image.size() << ",\n  \"block_bytes\": 256,\n"
            << "  \"seconds_per_run\": " << options->seconds << ",\n  \"runs\": [\n";
  bool first = true;
  for (const int clients : options->clients) {
    const auto t = measure(options->tftpd, tftpArgs, "tftpd", MakeTftpClient, tftpTarget, clients);
    const auto b =
        t ? measure(options->tarvix, tarvixArgs, "tarvix", MakeBllClient, bllTarget, clients)
          : std::nullopt;
    const auto f = b && !options->floor.empty() ? measure(options->floor, floorArgs, "floor",
                                                          MakeBllClient, bllTarget, clients)
                                                : std::nullopt;
    const auto r =
        f && !options->ringFloor.empty()
            ? measure(options->ringFloor, floorArgs, "ringfloor", MakeBllClient, bllTarget, clients)
            : std::nullopt;
    if (!t || !b || (!options->floor.empty() && !f) || (!options->ringFloor.empty() && !r)) {
      status = 1;
      break;
    }
    const double ratio = Rate(*t) > 0 ? Rate(*b) / Rate(*t) : 0;
    std::cout << (first ? "" : ",\n") << "    {\"clients\": " << clients
              << ", \"tarvix_over_tftpd\": " << ratio
              << ",\n     \"tftpd\": " << Json("tftpd-hpa", *t)
              << ",\n     \"tarvix\": " << Json("Tarvix", *b);
    if (f) std::cout << ",\n     \"floor\": " << Json("bll_floor_server", *f);
    if (r) std::cout << ",\n     \"ring_floor\": " << Json("bll_ring_floor_server", *r);
    std::cout << "}" << std::flush;
    first = false;
    ++runsDone;
    fasterEverywhere = fasterEverywhere && ratio >= 1.0;
    const double cpu = b->blocks > 0 && b->serverCpuSeconds >= 0
                           ? b->serverCpuSeconds * 1e6 / static_cast<double>(b->blocks)
                           : -1;
    worstCpu = std::max(worstCpu, cpu);
    cpuWithinGoal = cpuWithinGoal && cpu >= 0 && cpu <= kGoalCpuUsPerBlock;
    if (clients >= 1000) {
      thousandRun = true;
      // The clients' first downloads are the ones that all run at once; a client
      // that finishes early starts another, which may run almost alone.
      thousandFair =
          thousandFair && b->downloads >= clients && b->failed + b->mismatched == 0 &&
          b->firstRoundFastestSeconds > 0 &&
          b->firstRoundSlowestSeconds <= kGoalSlowestOverFastest * b->firstRoundFastestSeconds;
      memoryWithinGoal = memoryWithinGoal && b->serverPeakRssKb < kGoalMemoryKb;
    }
    if (t->failed + t->mismatched + b->failed + b->mismatched > 0) status = 1;
    if (f && f->failed + f->mismatched > 0) status = 1;
    if (r && r->failed + r->mismatched > 0) status = 1;
  }
  std::cout << "\n  ],\n  \"goals\": {\"tarvix_at_least_tftpd_at_every_count\": " << std::boolalpha
            << (runsDone > 0 && fasterEverywhere)
            << ", \"tarvix_worst_cpu_us_per_block\": " << worstCpu
            << ", \"cpu_per_block_at_most_8_us\": " << (runsDone > 0 && cpuWithinGoal)
            << ", \"thousand_clients_exact_and_slowest_within_3x\": "
            << (thousandRun && thousandFair)
            << ", \"thousand_clients_under_100_mb\": " << (thousandRun && memoryWithinGoal)
            << "}\n}\n";
  std::error_code ec;
  fs::remove_all(dir, ec);
  return status;
}

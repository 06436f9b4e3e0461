// Several serial lines served by one Tarvix --headless, printed as one JSON object:
// 1, 4 and 8 pseudo-terminals named in [Communication] PORTS, one simulated
// terminal on each, all downloading their own ROM image at once (frame-aware
// dispatch); then the largest run again with one line hung up halfway through
// its download, where every other line must still finish. Per run: aggregate
// and per-line blocks/s, the slowest/fastest line, and whether every image
// arrived byte for byte (the simulator compares each block with the file).
// Every wait is bounded: a line the server does not answer ends after the
// simulator's reply timeout and is reported as not answered.
// A pty has no wire speed; with --wire BPS each terminal's side of its line
// behaves as if the line ran at BPS (10 bits a byte), so the figures show what
// the server does on a bench of real lines, each against its wire's ceiling.
#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

#include "Terminal.h"
#include "Transport.h"

#include <signal.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kNoHangUp = -1;
constexpr const char* kHangUpError = "line hung up on purpose";
constexpr long kNoWire = 0;
constexpr double kBitsPerByte = 10;  // start bit, 8 data bits, stop bit

std::string LineName(int index) {
  return "COM" + std::to_string(index + 1);
}

std::string ImageName(int index) {
  return "TRM-" + std::to_string(index + 1) + ".jd0";
}

/// An image whose bytes differ from line to line, so a block sent on the wrong
/// line cannot pass for the right one.
void WriteImage(const fs::path& path, std::size_t size, int seed) {
  std::vector<char> data(size);
  for (std::size_t i = 0; i < size; ++i) {
    data[i] =
        static_cast<char>(((i * 131 + 7 + static_cast<std::size_t>(seed) * 29) ^ (i >> 9)) & 0xFF);
  }
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
}

/// A pty line as the terminal sees it. It notes when bytes last arrived (the
/// simulator waits a quiet time after the last reply, which is no part of the
/// transfer) and, when told to, hangs up (both of its ends closed) as the
/// terminal is about to send its frame number hangAt: the server sees the line
/// drop mid-download.
/// With a wire rate (bits/s, > 0) each direction is paced as a wire of that
/// rate: a frame the terminal sends is written once its bytes would have left
/// the wire, and bytes from the server are handed on once they would have
/// arrived, counted from when they came (or from when the wire was free again).
/// Each wait is one chunk's wire time, so it is bounded by the chunk's size.
class BenchLine : public termsim::ITransport {
 public:
  BenchLine(std::unique_ptr<termsim::PtyTransport> pty, int hangAt, long wireBps)
      : m_pty(std::move(pty)), m_hangAt(hangAt), m_wireBps(wireBps) {}

  bool Send(std::span<const std::uint8_t> bytes) override {
    if (m_pty && m_sent++ == m_hangAt) m_pty.reset();
    if (!m_pty) return false;
    m_wireBytes += bytes.size();
    PaceOver(m_sendWireFree, bytes.size());
    return m_pty->Send(bytes);
  }
  termsim::ReadStatus Receive(termsim::Bytes& out, termsim::Millis timeout) override {
    if (!m_pty) return termsim::ReadStatus::Closed;
    const std::size_t before = out.size();
    const termsim::ReadStatus status = m_pty->Receive(out, timeout);
    if (status == termsim::ReadStatus::Data) {
      m_wireBytes += out.size() - before;
      PaceOver(m_receiveWireFree, out.size() - before);
      m_lastData = Clock::now();
    }
    return status;
  }
  std::string Describe() const override { return m_description; }
  std::string LastError() const override { return m_pty ? m_pty->LastError() : kHangUpError; }
  Clock::time_point LastData() const { return m_lastData; }
  /// Bytes carried both ways, the hung-up line's last frame excluded.
  std::size_t WireBytes() const { return m_wireBytes; }

 private:
  /// Waits until byteCount more bytes have crossed the wire whose direction is
  /// busy until wireFree, and moves wireFree on. Nothing to do without a rate.
  void PaceOver(Clock::time_point& wireFree, std::size_t byteCount) {
    if (m_wireBps == kNoWire) return;
    const std::chrono::duration<double> wireTime(static_cast<double>(byteCount) * kBitsPerByte /
                                                 static_cast<double>(m_wireBps));
    wireFree =
        std::max(Clock::now(), wireFree) + std::chrono::duration_cast<Clock::duration>(wireTime);
    std::this_thread::sleep_until(wireFree);
  }

  std::unique_ptr<termsim::PtyTransport> m_pty;
  std::string m_description = m_pty->Describe();
  int m_hangAt;
  long m_wireBps;
  int m_sent = 0;
  std::size_t m_wireBytes = 0;
  Clock::time_point m_sendWireFree{};
  Clock::time_point m_receiveWireFree{};
  Clock::time_point m_lastData{};
};

/// One Tarvix --headless serving dir, PORT=COM1 and PORTS naming every line.
class Server {
 public:
  Server(const fs::path& dir, const std::vector<std::string>& slavePaths) {
    std::ofstream cfg(dir / "Romvale.cfg", std::ios::binary);
    cfg << "[Location]\r\nROMFILE=" << dir.string() << "\r\nBLLFILE=" << dir.string()
        << "\r\n[Communication]\r\nPORT=COM1\r\nPORTS=";
    for (std::size_t i = 0; i < slavePaths.size(); ++i) {
      cfg << (i == 0 ? "" : ",") << LineName(static_cast<int>(i));
    }
    cfg << "\r\nTYPE=RS232\r\nBAUD=115200bps\r\nTCPPACE=0\r\nDISPATCH=FRAME\r\n[Ports]\r\n";
    for (std::size_t i = 0; i < slavePaths.size(); ++i) {
      cfg << LineName(static_cast<int>(i)) << "=" << slavePaths[i] << "\r\n";
    }
    cfg.close();
    m_process = std::make_unique<ChildProcess>(
        TARVIX_EXE, dir.string(),
        std::vector<std::string>{"--headless", "--tcp-port",
                                 std::to_string(testsupport::FreeTcpPort())});
    m_started = m_process->WaitForOut("port: ", true);
  }
  ~Server() { m_process->Stop(SIGTERM); }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;
  bool Started() const { return m_started; }

 private:
  std::unique_ptr<ChildProcess> m_process;
  bool m_started = false;
};

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
  }
  return out + "\"";
}

struct LineOutcome {
  termsim::Result result;
  double seconds = 0;  // from the common start to this line's last reply
  bool byteExact = false;
  // Blocks/s a server answering at once could reach at the wire rate: every
  // byte of the download, both ways, takes its wire time (0 without a wire).
  double wireCeiling = 0;
};

double WireCeiling(long wireBps, int blocks, std::size_t wireBytes) {
  if (wireBps == kNoWire || wireBytes == 0) return 0;
  return static_cast<double>(wireBps) / kBitsPerByte * blocks / static_cast<double>(wireBytes);
}

std::string LineJson(int index, const LineOutcome& line, bool hung) {
  char text[320];
  std::snprintf(text, sizeof text,
                "{\"line\": \"%s\", \"ok\": %s, \"byte_exact\": %s, \"blocks\": %d, "
                "\"blocks_per_s\": %.1f, \"seconds\": %.3f%s",
                LineName(index).c_str(), line.result.ok ? "true" : "false",
                line.byteExact ? "true" : "false", line.result.blocks, line.result.blocksPerSecond,
                line.seconds, hung ? ", \"hung_up\": true" : "");
  std::string json = text;
  if (line.wireCeiling > 0) {
    std::snprintf(text, sizeof text, ", \"wire_ceiling_blocks_per_s\": %.1f, \"vs_wire\": %.3f",
                  line.wireCeiling, line.result.blocksPerSecond / line.wireCeiling);
    json += text;
  }
  return json + (line.result.ok ? std::string() : ", \"error\": " + JsonString(line.result.error)) +
         "}";
}

/// lines terminals at once, each downloading its own image; line hungLine (or
/// none) hangs up halfway through. aggregate receives the run's blocks/s, which
/// is also compared with oneLine's when that is known (> 0).
std::string RunLines(int lines, int hungLine, std::size_t imageSize, long wireBps, double oneLine,
                     double& aggregate) {
  aggregate = 0;
  testsupport::TempDir dir("tarvix-lines");
  std::vector<std::unique_ptr<BenchLine>> transports;
  std::vector<std::string> slavePaths;
  const int blocks = static_cast<int>(imageSize / 2048);
  for (int i = 0; i < lines; ++i) {
    WriteImage(dir.Path() / ImageName(i), imageSize, i);
    std::string error;
    auto pty = termsim::PtyTransport::Create(error);
    if (!pty) return "{\"error\": " + JsonString(error) + "}";
    slavePaths.push_back(pty->SlavePath());
    // Frames sent: the request, the begin, then one per block received.
    transports.push_back(std::make_unique<BenchLine>(
        std::move(pty), i == hungLine ? 2 + blocks / 2 : kNoHangUp, wireBps));
  }
  Server server(dir.Path(), slavePaths);
  if (!server.Started()) return "{\"error\": \"Tarvix did not start\"}";

  std::vector<LineOutcome> outcomes(static_cast<std::size_t>(lines));
  const auto start = Clock::now();
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < lines; ++i) {
      threads.emplace_back([&, i] {
        const auto index = static_cast<std::size_t>(i);
        termsim::DownloadOptions rom;
        rom.family = termsim::Family::Rom;
        rom.romSelector = *termsim::RomSelectorForName(ImageName(i));
        rom.expectedFile = (dir.Path() / ImageName(i)).string();
        LineOutcome& outcome = outcomes[index];
        outcome.result = termsim::RunDownload(*transports[index], rom);
        const Clock::time_point last = transports[index]->LastData();
        if (last != Clock::time_point{})
          outcome.seconds = std::chrono::duration<double>(last - start).count();
        outcome.byteExact = outcome.result.ok && outcome.result.receivedBytes == imageSize;
        outcome.wireCeiling =
            WireCeiling(wireBps, outcome.result.blocks, transports[index]->WireBytes());
      });
    }
  }

  int answered = 0;
  int expected = 0;
  bool allExact = true;
  long totalBlocks = 0;
  double wall = 0;
  std::vector<double> rates;
  std::vector<double> vsWire;
  double ceilingSum = 0;
  std::string perLine;
  for (int i = 0; i < lines; ++i) {
    const LineOutcome& line = outcomes[static_cast<std::size_t>(i)];
    perLine += (i == 0 ? "\n      " : ",\n      ") + LineJson(i, line, i == hungLine);
    if (i == hungLine) continue;
    ++expected;
    allExact = allExact && line.byteExact;
    if (!line.byteExact) continue;
    ++answered;
    totalBlocks += line.result.blocks;
    wall = std::max(wall, line.seconds);
    rates.push_back(line.result.blocksPerSecond);
    if (line.wireCeiling > 0) {
      ceilingSum += line.wireCeiling;
      vsWire.push_back(line.result.blocksPerSecond / line.wireCeiling);
    }
  }
  aggregate = wall > 0 ? static_cast<double>(totalBlocks) / wall : 0.0;
  const auto [slowest, fastest] = std::minmax_element(rates.begin(), rates.end());
  const double ratio = rates.empty() || *slowest <= 0 ? 0.0 : *fastest / *slowest;
  char text[400];
  std::snprintf(text, sizeof text,
                "{\"lines\": %d, \"image_bytes\": %zu, \"lines_finished\": %d, "
                "\"all_byte_exact\": %s, \"aggregate_blocks_per_s\": %.1f, \"wall_s\": %.3f, "
                "\"slowest_to_fastest\": %.2f",
                lines, imageSize, answered, allExact ? "true" : "false", aggregate, wall, ratio);
  std::string json = text;
  if (oneLine > 0) {
    std::snprintf(text, sizeof text, ", \"aggregate_vs_one_line\": %.2f", aggregate / oneLine);
    json += text;
  }
  if (!vsWire.empty()) {
    const auto [leastVsWire, mostVsWire] = std::minmax_element(vsWire.begin(), vsWire.end());
    std::snprintf(text, sizeof text,
                  ", \"line_wire_ceiling_blocks_per_s\": %.1f, \"aggregate_vs_wire\": %.3f, "
                  "\"line_vs_wire_min\": %.3f, \"line_vs_wire_max\": %.3f",
                  ceilingSum / static_cast<double>(vsWire.size()), aggregate / ceilingSum,
                  *leastVsWire, *mostVsWire);
    json += text;
  }
  if (hungLine >= 0) json += ", \"hung_line\": \"" + LineName(hungLine) + "\"";
  if (answered < expected) {
    json += ", \"note\": " + JsonString(answered == 1 && outcomes[0].byteExact
                                            ? "only the first line (PORT) was answered"
                                            : "only " + std::to_string(answered) + " of " +
                                                  std::to_string(expected) + " lines finished");
  }
  return json + ", \"per_line\": [" + perLine + "\n    ]}";
}

/// RunLines repeats times; the run with the median aggregate rate, which
/// aggregate receives.
std::string MedianRun(int lines, int hungLine, std::size_t imageSize, long wireBps, double oneLine,
                      int repeats, double& aggregate) {
  std::vector<std::pair<double, std::string>> runs;
  for (int i = 0; i < repeats; ++i) {
    double rate = 0;
    std::string json = RunLines(lines, hungLine, imageSize, wireBps, oneLine, rate);
    runs.emplace_back(rate, std::move(json));
  }
  std::sort(runs.begin(), runs.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  const auto& median = runs[runs.size() / 2];
  aggregate = median.first;
  return "{\"median_of_runs\": " + std::to_string(repeats) + ", " + median.second.substr(1);
}

constexpr int kDefaultRepeats = 3;
constexpr int kMaxRepeats = 99;
constexpr long kMinWireBps = 9600;
constexpr long kMaxWireBps = 100'000'000;
constexpr long kMaxSizeKib = 16 * 1024;
constexpr std::size_t kKib = 1024;
constexpr std::size_t kDefaultKib = 1024;
constexpr std::size_t kQuickKib = 64;
constexpr std::size_t kWireKib = 128;
constexpr const char* kUsage =
    "Usage: tarvix_lines_bench [--quick] [--repeat N] [--wire BPS] [--size KIB]\n"
    "Prints, as JSON, how one Tarvix serves 1, 4 and 8 serial lines (ptys) at\n"
    "once, each downloading its own ROM image (1 MiB), and 8 lines with one hung up\n"
    "halfway. Each figure is the median of N runs (default 3, at most 99).\n"
    "--quick: 64 KiB images (a smoke run, not figures to quote).\n"
    "--wire BPS: each terminal's side of its line is paced as a wire of BPS\n"
    "  bits/s (10 bits a byte, 9600..100000000), and each line's rate is set\n"
    "  against what a server answering at once could reach on it; images are\n"
    "  128 KiB unless --size says otherwise. Without it the ptys are unpaced.\n"
    "--size KIB: image size in KiB (2..16384, whole 2 KiB blocks).\n";

/// A whole number in [low, high] from value, or false.
bool ParseBounded(std::string_view value, long low, long high, long& out) {
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), out);
  return ec == std::errc() && end == value.data() + value.size() && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  int repeats = kDefaultRepeats;
  long wireBps = kNoWire;
  long sizeKib = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
      continue;
    }
    const bool hasValue = i + 1 < argc;
    if (arg == "--repeat" && hasValue) {
      long value = 0;
      if (ParseBounded(argv[++i], 1, kMaxRepeats, value)) {
        repeats = static_cast<int>(value);
        continue;
      }
      std::fprintf(stderr, "tarvix_lines_bench: --repeat takes 1..%d\n", kMaxRepeats);
      return 2;
    }
    if (arg == "--wire" && hasValue) {
      if (ParseBounded(argv[++i], kMinWireBps, kMaxWireBps, wireBps)) continue;
      std::fprintf(stderr, "tarvix_lines_bench: --wire takes %ld..%ld bits/s\n", kMinWireBps,
                   kMaxWireBps);
      return 2;
    }
    if (arg == "--size" && hasValue) {
      if (ParseBounded(argv[++i], 2, kMaxSizeKib, sizeKib) && sizeKib % 2 == 0) continue;
      std::fprintf(stderr, "tarvix_lines_bench: --size takes an even KiB count, 2..%ld\n",
                   kMaxSizeKib);
      return 2;
    }
    std::fputs(kUsage, stderr);
    return arg == "--help" || arg == "-h" ? 0 : 2;
  }
  ::signal(SIGPIPE, SIG_IGN);
  const std::size_t imageKib = sizeKib > 0          ? static_cast<std::size_t>(sizeKib)
                               : quick              ? kQuickKib
                               : wireBps != kNoWire ? kWireKib
                                                    : kDefaultKib;
  const std::size_t imageSize = imageKib * kKib;
  double oneLine = 0;
  double rate = 0;
  std::printf("{\n");
  if (wireBps != kNoWire) std::printf("  \"wire_bps\": %ld, \"bits_per_byte\": 10,\n", wireBps);
  std::printf("  \"runs\": [\n");
  bool first = true;
  for (int lines : {1, 4, 8}) {
    const std::string run = MedianRun(lines, kNoHangUp, imageSize, wireBps, oneLine, repeats, rate);
    if (lines == 1) oneLine = rate;
    std::printf("%s    %s", first ? "" : ",\n", run.c_str());
    std::fflush(stdout);
    first = false;
  }
  constexpr int kHungUpRunLines = 8;
  std::printf(
      "\n  ],\n  \"hung_up\": %s\n}\n",
      MedianRun(kHungUpRunLines, kHungUpRunLines - 1, imageSize, wireBps, oneLine, repeats, rate)
          .c_str());
  return 0;
}

// The server's counters in Prometheus's text exposition format (version 0.0.4).
#pragma once

#include "headless/DownloadTally.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// One serial line when several are served.
struct LineMetrics {
  std::string name;  // "COM2"
  bool running = false;
};

/// What one scrape reports.
struct MetricsSnapshot {
  DownloadTally downloads;
  int activeDownloads = 0;
  int tcpConnections = 0;
  std::vector<std::pair<std::string, bool>> serialPorts;  // COM name, open
  std::vector<LineMetrics> lines;  // every serial line with several (PORTS), else none
  std::uint64_t framesRejected = 0;
  std::uint64_t outputLinesDropped = 0;
  std::string version;
};

/// The exposition text: HELP and TYPE lines and one sample per series, every
/// download series present (0 until counted), label values escaped.
std::string FormatMetrics(const MetricsSnapshot& snapshot);

/// The Content-Type of that text.
inline constexpr const char* kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

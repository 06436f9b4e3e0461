// Tally of ended downloads.
#include "headless/DownloadTally.h"

void DownloadTally::Add(const DownloadReport& report) {
  const std::size_t channel = std::string_view(report.strVia).starts_with("tcp") ? 1 : 0;
  const std::size_t kind = report.strKind == "rom" ? 0 : 1;
  const std::size_t result = report.bDone ? 0 : 1;
  ++m_counts[(channel * 2 + kind) * 2 + result];
  ++m_total;
  if (report.nBytesSent > 0) m_bytes += static_cast<std::uint64_t>(report.nBytesSent);
}

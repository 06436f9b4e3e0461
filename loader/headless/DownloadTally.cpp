// Tally of ended downloads.
#include "headless/DownloadTally.h"

void DownloadTally::Add(const DownloadReport& report) {
  const std::size_t channel = std::string_view(report.via).starts_with("tcp") ? 1 : 0;
  const std::size_t kind = report.kind == "rom" ? 0 : 1;
  const std::size_t result = report.done ? 0 : 1;
  ++m_counts[(channel * 2 + kind) * 2 + result];
  if (!report.line.empty()) ++m_lineCounts[report.line][kind * 2 + result];
  ++m_total;
  if (report.bytesSent > 0) m_bytes += static_cast<std::uint64_t>(report.bytesSent);
}

std::uint64_t DownloadTally::LineCount(const std::string& line, std::size_t kind,
                                       std::size_t result) const {
  const auto it = m_lineCounts.find(line);
  return it == m_lineCounts.end() ? 0 : it->second[kind * 2 + result];
}

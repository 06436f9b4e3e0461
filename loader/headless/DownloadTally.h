// Counts of the downloads that ended, for the closing line and the metrics.
#pragma once

#include "core/DownloadHost.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

/// Ended downloads by channel (serial, tcp), kind (rom, bll) and result (done, failed).
class DownloadTally {
 public:
  static constexpr std::array<std::string_view, 2> kChannels = {"serial", "tcp"};
  static constexpr std::array<std::string_view, 2> kKinds = {"rom", "bll"};
  static constexpr std::array<std::string_view, 2> kResults = {"done", "failed"};

  void Add(const DownloadReport& report);
  /// Downloads of one channel, kind and result (indexes into the arrays above).
  std::uint64_t Count(std::size_t channel, std::size_t kind, std::size_t result) const {
    return m_counts[(channel * 2 + kind) * 2 + result];
  }
  /// Downloads of one serial line (by name, with several lines), kind and result.
  std::uint64_t LineCount(const std::string& line, std::size_t kind, std::size_t result) const;
  std::uint64_t Total() const noexcept { return m_total; }
  /// Image bytes sent by the downloads that ended.
  std::uint64_t BytesSent() const noexcept { return m_bytes; }

 private:
  std::array<std::uint64_t, 8> m_counts{};
  std::map<std::string, std::array<std::uint64_t, 4>, std::less<>> m_lineCounts;
  std::uint64_t m_total = 0;
  std::uint64_t m_bytes = 0;
};

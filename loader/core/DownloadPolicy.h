// Which download a frame from a line goes to. One at a time (the default): every
// line's frames go to the one shared download, so while it runs a frame from
// another line gets no reply and changes nothing. Per connection (CONCURRENT=1):
// a TCP connection runs BLL downloads of its own beside the shared one; ROM
// downloads and the serial line keep the shared one, as ROM replies need the serial line.
#pragma once

#include "config/LoaderConfig.h"

#include <cstdint>
#include <span>

class Line;

/// Where a frame goes.
enum class Route {
  Shared,  // the one download that runs at a time across lines
  Own,     // the line's download of its own
};

class DownloadPolicy {
 public:
  enum class Kind { OneAtATime, PerConnection };

  explicit DownloadPolicy(Kind kind = Kind::OneAtATime) noexcept : m_kind(kind) {}
  /// The policy a configuration asks for (CONCURRENT).
  static DownloadPolicy For(const LoaderConfig& cfg) noexcept;

  /// The route of frame from line; sharedOwner: the line whose shared download
  /// runs (nullptr when none runs).
  Route RouteFrame(const Line& line, std::span<const std::uint8_t> frame,
                   const Line* sharedOwner) const;
  /// Whether running downloads of lines' own are listed (the window's list).
  bool ListsOwnDownloads() const noexcept { return m_kind == Kind::PerConnection; }

 private:
  Kind m_kind;
};

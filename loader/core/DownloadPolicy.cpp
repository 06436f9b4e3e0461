// The two dispatch rules of the engine.
#include "core/DownloadPolicy.h"

#include "core/Line.h"
#include "download/Frame.h"

DownloadPolicy DownloadPolicy::For(const LoaderConfig& cfg) noexcept {
  return DownloadPolicy(cfg.concurrent ? Kind::PerConnection : Kind::OneAtATime);
}

Route DownloadPolicy::RouteFrame(const Line& line, std::span<const std::uint8_t> frame,
                                 const Line* sharedOwner) const {
  // A further serial line runs its own downloads whatever the policy.
  if (line.Standalone()) return Route::Own;
  if (m_kind == Kind::OneAtATime || line.IsSerial() || sharedOwner == &line) return Route::Shared;
  // A ROM request keeps the shared download: its replies need the serial line.
  // While another line's shared download runs, that route holds it back.
  const bool romRequest = ByteAt(frame, 0) == kRomStart && ByteAt(frame, 1) == kCmdRequest;
  if (romRequest && !line.Running()) return Route::Shared;
  return Route::Own;
}

// Why a serial port could not be opened or stopped working, in words an
// operator can act on, and the back-off between attempts to open it again.
#pragma once

#include <string>

/// The reason a device cannot be used now, found by looking at it: "no such
/// device", "permission denied (...dialout...)", "in use by another program", or
/// the system's own words. wasOpen: the port worked and then failed, so a
/// device that still looks usable "hung up".
std::string DescribePortFailure(const std::string& device, bool wasOpen);

/// Delays between attempts to open a failed port: 1 s, doubling to 8 s at most.
class ReconnectBackoff {
 public:
  /// The delay before the next attempt, in milliseconds; each call doubles the next.
  int NextDelayMs();
  /// After a success: the next failure starts again at the shortest delay.
  void Reset() noexcept;

 private:
  int m_nextMs = 0;
};

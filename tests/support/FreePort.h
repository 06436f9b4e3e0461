// A TCP port on 127.0.0.1 that nothing listens on right now, for a server the
// test starts itself.
#pragma once

#include <cstdint>

namespace testsupport {

/// A port the system just handed out and released; 0 when none could be had.
std::uint16_t FreeTcpPort();

}  // namespace testsupport

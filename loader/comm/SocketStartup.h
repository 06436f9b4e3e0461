// Whether the network layer is usable at all when the program starts.
#pragma once

#include <string_view>

/// The message shown, before the program ends, when the network layer cannot start.
inline constexpr std::string_view kSocketErrorText = "Socket Error";

/// True when this process can make a TCP socket (IPv4 or IPv6); false when it cannot
/// (no address family, or no descriptor left), in which case TCP cannot be served.
bool InitSockets();

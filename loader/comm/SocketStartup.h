// Whether the network layer is usable at all when the program starts.
#pragma once

#include <cstdint>
#include <string_view>

/// The message shown, before the program ends, when the network layer cannot start.
inline constexpr std::string_view kSocketErrorText = "Socket Error";

/// True when this process can make a TCP socket (IPv4 or IPv6); false when it cannot
/// (no address family, or no descriptor left), in which case TCP cannot be served.
bool InitSockets();

/// Raises this process's soft limit of open descriptors to its hard limit, as
/// a program that never uses select() may: every TCP connection needs one, and
/// the usual soft limit of 1 024 is below what TCPMAXCONN allows. Returns the
/// soft limit now in force (unchanged when it cannot be raised).
std::uint64_t RaiseDescriptorLimit();

/// The soft limit of open descriptors in force now (0 when it cannot be read).
std::uint64_t DescriptorLimit();

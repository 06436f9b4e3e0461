// One accepted TCP connection as the download sessions see it: a place to send
// replies. The Qt connection implements it; tests implement it with a recorder.
#pragma once

#include <cstdint>
#include <span>
#include <string>

/// One accepted TCP connection, as the sessions reply on it.
class IConnection {
 public:
  virtual ~IConnection() = default;
  /// Queues the bytes for sending; the result is not relied on.
  virtual int Send(std::span<const std::uint8_t> data) = 0;
  /// The peer as "address:port" ("[address]:port" for IPv6), for logs.
  virtual std::string PeerName() const = 0;
};

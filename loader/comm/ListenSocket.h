// The TCP listener: all local interfaces, one port, accepts on the main thread.
#pragma once

#include <QTcpServer>

#include <cstdint>
#include <functional>
#include <string>

class QTcpSocket;

class CListenSocket {
public:

  /// onAccept runs on the main thread for every pending connection.
  explicit CListenSocket(std::function<void()> onAccept);
  CListenSocket(const CListenSocket&) = delete;
  CListenSocket& operator=(const CListenSocket&) = delete;

  /// Listens on port (0: any free port) on every interface; false with
  /// ErrorString() when the port is taken or the socket cannot be made.
  bool Listen(std::uint16_t port);
  /// Listens on one numeric IPv4 or IPv6 address ("" = every interface, both
  /// families); false with ErrorString() as above or for an address it cannot use.
  bool Listen(const std::string& address, std::uint16_t port);
  std::string ErrorString() const;
  /// The bound port, 0 when not listening.
  std::uint16_t Port() const;
  /// The next accepted connection (caller owns it), or nullptr.
  QTcpSocket* Accept();

private:
  QTcpServer m_Server;
  std::string m_strAddressError;
};

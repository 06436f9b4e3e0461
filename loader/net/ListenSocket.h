// The TCP listener: one port on every local interface, accepts on the main
// thread, and backs off when the process has no descriptor left for a new
// connection instead of retrying at full speed. The socket is ours (not a
// QTcpServer) because a failed accept must stop the readiness notifications,
// or the still-pending connection keeps the listener readable and the loop spins.
#pragma once

#include "base/UniqueFd.h"
#include "config/LoaderDefaults.h"
#include "net/ConnectionPoller.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ListenSocket {
 public:
  /// onAccept runs on the main thread whenever connections wait to be accepted.
  explicit ListenSocket(std::function<void()> onAccept);
  ~ListenSocket();
  ListenSocket(const ListenSocket&) = delete;
  ListenSocket& operator=(const ListenSocket&) = delete;

  /// Listens on port (0: any free port) on every interface (IPv6 and IPv4);
  /// false with ErrorString() when the port is taken or the socket cannot be made.
  bool Listen(std::uint16_t port);
  /// Listens on one numeric IPv4 or IPv6 address ("" = every interface, both
  /// families); false with ErrorString() as above or for an address it cannot use.
  bool Listen(const std::string& address, std::uint16_t port);
  std::string ErrorString() const { return m_error; }
  /// The bound port, 0 when not listening.
  std::uint16_t Port() const noexcept { return m_port; }
  /// Accepts the next waiting connection as a non-blocking descriptor; invalid
  /// when none waits, or when accepting failed and a back-off began.
  UniqueFd Accept();
  /// True while accepting is paused after a failed accept.
  bool IsBackingOff() const { return m_backoffTimer.isActive(); }
  /// Accept failures seen so far (EMFILE, ENFILE and the like).
  int AcceptErrors() const noexcept { return m_acceptErrors; }

 private:
  void BackOff();

  std::function<void()> m_onAccept;
  UniqueFd m_fd;
  std::unique_ptr<ReadWatch> m_watch;  // goes before the descriptor it watches
  QTimer m_backoffTimer;
  std::uint16_t m_port = 0;
  std::string m_error;
  int m_backoffMs = kAcceptBackoffFirstMs;
  int m_acceptErrors = 0;
};

// The TCP listener: one port on every local interface, accepts on the main
// thread, and backs off when the process has no descriptor left for a new
// connection instead of retrying at full speed.
#pragma once

#include "config/LoaderDefaults.h"

#include <QTcpServer>
#include <QTimer>

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
  std::string ErrorString() const;
  /// The bound port, 0 when not listening.
  std::uint16_t Port() const;
  /// The next accepted connection (caller owns it), or nullptr.
  QTcpSocket* Accept();
  /// True while accepting is paused after a failed accept.
  bool IsBackingOff() const { return m_BackoffTimer.isActive(); }
  /// Accept failures seen so far (EMFILE, ENFILE and the like).
  int AcceptErrors() const noexcept { return m_nAcceptErrors; }

private:
  void OnAcceptError();

  QTcpServer m_Server;
  QTimer m_BackoffTimer;
  int m_nBackoffMs = kAcceptBackoffFirstMs;
  int m_nAcceptErrors = 0;
};

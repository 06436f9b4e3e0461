// One accepted TCP connection: at most 1024 bytes per receive, each receive
// handled as one packet, and an optional pause after each receive that holds
// back only this connection.
#pragma once

#include "comm/Connection.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <span>
#include <string>

class QTcpSocket;
class CClientSocket;

/// What a connection reports to its owner, on the main thread.
class ISocketEvents {
public:
  virtual ~ISocketEvents() = default;
  /// One receive of 1..1024 bytes from pSocket.
  virtual void OnSocketReceive(CClientSocket* pSocket, std::span<const std::uint8_t> data) = 0;
  /// The peer closed the connection or it failed; the owner removes and deletes it
  /// (later, not inside this call).
  virtual void OnSocketClosed(CClientSocket* pSocket) = 0;
  /// Pause after each receive in milliseconds (0: none), read at each receive.
  virtual int TcpPaceMs() const = 0;
};

class CClientSocket : public QObject, public IConnection {
public:
  static constexpr int kRecvMax = 1024;

  /// Takes ownership of an accepted, connected socket.
  CClientSocket(QTcpSocket* pSocket, ISocketEvents& events, QObject* pParent = nullptr);
  ~CClientSocket() override;

  /// Queues the bytes for sending; bytes queued, 0 when the connection is gone.
  int Send(std::span<const std::uint8_t> data) override;
  /// The peer as "address:port", taken at accept (IPv4-mapped addresses as IPv4).
  std::string PeerName() const override { return m_strPeerName; }
  /// True while the pause after a receive runs.
  bool IsPaused() const noexcept { return m_bPaused; }
  bool IsClosed() const noexcept { return m_bClosed; }

private:
  void OnReadyRead();
  void OnReceive();
  void OnPaceElapsed();
  void OnClose();

  QTcpSocket* m_pSocket;  // child of this object
  ISocketEvents& m_Events;
  QTimer m_PaceTimer;
  bool m_bPaused = false;
  bool m_bClosed = false;
  std::string m_strPeerName;
  std::array<std::uint8_t, kRecvMax + 1> m_RecvBuf{};  // + terminating zero
};

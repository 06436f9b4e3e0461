// One accepted TCP connection: at most 1024 bytes per receive, each receive
// handled as one packet, an optional pause after each receive that holds back
// only this connection, a bounded write queue (reading stops while a peer
// does not take its replies) and an idle time-out. The descriptor is read and
// written directly (one read per receive, one send per reply, nothing copied
// on the way); the event loop only says when it is readable or writable.
#pragma once

#include "comm/Connection.h"
#include "config/LoaderDefaults.h"
#include "download/UniqueFd.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

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

/// What one connection may hold of the server.
struct ConnectionLimits {
  std::size_t nMaxWriteQueue = kTcpWriteQueueBytes;  // bytes queued for the peer
  int nIdleSec = kDefaultTcpIdleSec;                 // closed after this long silent; 0 = never
};

class CClientSocket : public QObject, public IConnection {
 public:
  static constexpr int kRecvMax = 1024;

  /// Takes ownership of an accepted, connected, non-blocking socket.
  CClientSocket(CUniqueFd socket, ISocketEvents& events, ConnectionLimits limits = {},
                QObject* pParent = nullptr);
  ~CClientSocket() override;

  /// Queues the bytes for sending; bytes queued, 0 when the connection is gone
  /// or the bytes would take its write queue past its limit (then nothing is queued).
  int Send(std::span<const std::uint8_t> data) override;
  /// The peer as "address:port", taken at accept (IPv4-mapped addresses as IPv4).
  std::string PeerName() const override { return m_strPeerName; }
  /// Closes the connection now; the owner hears of it through OnSocketClosed.
  void CloseNow();
  /// True while the pause after a receive runs.
  bool IsPaused() const noexcept { return m_bPaused; }
  bool IsClosed() const noexcept { return m_bClosed; }
  /// True while reading waits for the peer to take what was sent to it.
  bool IsReadingHeld() const noexcept { return m_bWriteBlocked; }
  /// Bytes queued for the peer and not yet taken by the system.
  std::size_t WriteQueued() const noexcept { return m_WriteQueue.size() - m_nWriteDone; }

 private:
  void OnReadable();
  void OnWritable();
  void OnPaceElapsed();
  void OnIdleTimer();
  /// Watches for readability exactly while a receive may be taken, so a
  /// connection that waits costs nothing.
  void UpdateReadWatch();
  void OnClose();
  bool CanRead() const noexcept { return !m_bPaused && !m_bClosed && !m_bWriteBlocked; }

  CUniqueFd m_Socket;
  ISocketEvents& m_Events;
  std::unique_ptr<QSocketNotifier> m_pReadNotifier;
  std::unique_ptr<QSocketNotifier> m_pWriteNotifier;
  QTimer m_PaceTimer;
  QTimer m_IdleTimer;
  QElapsedTimer m_SinceActivity;  // restarted by every receive and every write taken
  ConnectionLimits m_Limits;
  bool m_bPaused = false;
  bool m_bWriteBlocked = false;
  bool m_bClosed = false;
  std::string m_strPeerName;
  std::vector<std::uint8_t> m_WriteQueue;              // bytes the system has not taken yet
  std::size_t m_nWriteDone = 0;                        // of m_WriteQueue, already sent
  std::array<std::uint8_t, kRecvMax + 1> m_RecvBuf{};  // + terminating zero
};

// One accepted TCP connection: at most 1024 bytes per receive, each receive
// handled as one packet, an optional pause after each receive that holds back
// only this connection, a bounded write queue (reading stops while a peer
// does not take its replies) and an idle time-out. The descriptor is read and
// written directly (one read per receive, one send per reply, nothing copied
// on the way); the thread's one epoll set of connections says when it is
// readable or writable.
#pragma once

#include "base/UniqueFd.h"
#include "comm/Connection.h"
#include "config/LoaderDefaults.h"
#include "net/ConnectionPoller.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class ClientSocket;

/// What a connection reports to its owner, on the main thread.
class ISocketEvents {
 public:
  virtual ~ISocketEvents() = default;
  /// One receive of 1..1024 bytes from socket.
  virtual void OnSocketReceive(ClientSocket* socket, std::span<const std::uint8_t> data) = 0;
  /// The peer closed the connection or it failed; the owner removes and deletes it
  /// (later, not inside this call).
  virtual void OnSocketClosed(ClientSocket* socket) = 0;
  /// Pause after each receive in milliseconds (0: none), read at each receive.
  virtual int TcpPaceMs() const = 0;
};

/// What one connection may hold of the server.
struct ConnectionLimits {
  std::size_t maxWriteQueue = kTcpWriteQueueBytes;  // bytes queued for the peer
  int idleSec = kDefaultTcpIdleSec;                 // closed after this long silent; 0 = never
};

class ClientSocket : public QObject, public IConnection, private IPollTarget {
 public:
  static constexpr int kRecvMax = 1024;

  /// Takes ownership of an accepted, connected, non-blocking socket.
  ClientSocket(UniqueFd socket, ISocketEvents& events, ConnectionLimits limits = {},
               QObject* parent = nullptr);
  ~ClientSocket() override;

  /// Queues the bytes for sending; bytes queued, 0 when the connection is gone
  /// or the bytes would take its write queue past its limit (then nothing is queued).
  int Send(std::span<const std::uint8_t> data) override;
  /// The peer as "address:port", taken at accept (IPv4-mapped addresses as IPv4).
  std::string PeerName() const override { return m_peerName; }
  /// Closes the connection now; the owner hears of it through OnSocketClosed.
  void CloseNow();
  /// True while the pause after a receive runs.
  bool IsPaused() const noexcept { return m_paused; }
  bool IsClosed() const noexcept { return m_closed; }
  /// True while reading waits for the peer to take what was sent to it.
  bool IsReadingHeld() const noexcept { return m_writeBlocked; }
  /// Bytes queued for the peer and not yet taken by the system.
  std::size_t WriteQueued() const noexcept { return m_writeQueue.size() - m_writeDone; }

 private:
  void OnPollReady(std::uint32_t events) override;
  void OnReadable();
  void OnWritable();
  void OnPaceElapsed();
  void OnIdleTimer();
  /// Watches for readability exactly while a receive may be taken, so a
  /// connection that waits costs nothing, and for writability while replies
  /// wait in the queue. A connection the set cannot watch is closed.
  void UpdateWatch();
  void OnClose();
  bool CanRead() const noexcept { return !m_paused && !m_closed && !m_writeBlocked; }

  UniqueFd m_socket;
  ISocketEvents& m_events;
  PollWatch m_watch;  // after m_socket: leaves the set before the descriptor is closed
  QTimer m_paceTimer;
  QTimer m_idleTimer;
  QElapsedTimer m_sinceActivity;  // restarted by every receive and every write taken
  ConnectionLimits m_limits;
  bool m_paused = false;
  bool m_writeBlocked = false;
  bool m_writeWatched = false;  // replies wait in m_writeQueue for the peer
  bool m_closed = false;
  std::string m_peerName;
  std::vector<std::uint8_t> m_writeQueue;              // bytes the system has not taken yet
  std::size_t m_writeDone = 0;                         // of m_writeQueue, already sent
  std::array<std::uint8_t, kRecvMax + 1> m_recvBuf{};  // + terminating zero
};

// One accepted TCP connection on its own descriptor, watched in the thread's epoll set.
#include "net/ClientSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace {
std::string DescribePeer(int fd) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return "?";
  char host[INET6_ADDRSTRLEN] = {};
  unsigned port = 0;
  if (addr.ss_family == AF_INET) {
    const auto* a4 = reinterpret_cast<const sockaddr_in*>(&addr);
    ::inet_ntop(AF_INET, &a4->sin_addr, host, sizeof host);
    port = ntohs(a4->sin_port);
    return std::string(host) + ':' + std::to_string(port);
  }
  const auto* a6 = reinterpret_cast<const sockaddr_in6*>(&addr);
  port = ntohs(a6->sin6_port);
  if (IN6_IS_ADDR_V4MAPPED(&a6->sin6_addr)) {
    // An IPv4 peer on the dual-stack listener is shown as IPv4.
    ::inet_ntop(AF_INET, &a6->sin6_addr.s6_addr[12], host, sizeof host);
    return std::string(host) + ':' + std::to_string(port);
  }
  ::inet_ntop(AF_INET6, &a6->sin6_addr, host, sizeof host);
  return '[' + std::string(host) + "]:" + std::to_string(port);
}

int IdleMs(int idleSec) {
  constexpr int kMaxIdleSec = std::numeric_limits<int>::max() / 1000;
  return std::min(idleSec, kMaxIdleSec) * 1000;
}
}  // namespace

ClientSocket::ClientSocket(UniqueFd socket, ISocketEvents& events, ConnectionLimits limits,
                           QObject* parent)
    : QObject(parent),
      m_socket(std::move(socket)),
      m_events(events),
      m_watch(m_socket.Get(), *this),
      m_limits(limits) {
  m_peerName = DescribePeer(m_socket.Get());
  m_paceTimer.setSingleShot(true);
  QObject::connect(&m_paceTimer, &QTimer::timeout, this, [this] { OnPaceElapsed(); });
  m_idleTimer.setSingleShot(true);
  QObject::connect(&m_idleTimer, &QTimer::timeout, this, [this] { OnIdleTimer(); });
  m_sinceActivity.start();
  if (m_limits.idleSec > 0) m_idleTimer.start(IdleMs(m_limits.idleSec));
  // Data that arrived before we were connected up keeps the descriptor
  // readable, so it is taken on the first turn of the loop.
  UpdateWatch();
}

ClientSocket::~ClientSocket() {
  m_paceTimer.stop();
  m_idleTimer.stop();
  // Out of the set before the descriptor is closed (and out of a batch being served).
  m_watch.Watch(0);
}

int ClientSocket::Send(std::span<const std::uint8_t> data) {
  if (m_closed || data.empty()) return 0;
  // A peer that does not read must not make us hold its replies without end.
  const std::size_t queued = WriteQueued();
  if (queued + data.size() > m_limits.maxWriteQueue) {
    if (queued > 0) {
      m_writeBlocked = true;
      UpdateWatch();
    }
    return 0;
  }
  std::size_t sent = 0;
  if (queued == 0) {
    // The usual case: the system takes the whole reply at once.
    const ssize_t n = ::send(m_socket.Get(), data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      return 0;  // the connection failed; reading sees it and closes
    }
    sent = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (sent == data.size()) return static_cast<int>(sent);
    m_writeQueue.clear();
    m_writeDone = 0;
  }
  // What the system did not take waits in our queue: read no more from this
  // peer (and so answer no more) until it has taken it.
  m_writeQueue.insert(m_writeQueue.end(), data.begin() + static_cast<std::ptrdiff_t>(sent),
                      data.end());
  m_writeBlocked = true;
  m_writeWatched = true;
  UpdateWatch();
  return static_cast<int>(data.size());
}

void ClientSocket::CloseNow() {
  if (m_closed) return;
  // The peer hears of it now; the descriptor itself goes with this object, after
  // it has left the set (this may run inside one of its own notifications).
  ::shutdown(m_socket.Get(), SHUT_RDWR);
  OnClose();
}

void ClientSocket::UpdateWatch() {
  const std::uint32_t wanted = (CanRead() ? std::uint32_t{EPOLLIN} : 0U) |
                               (m_writeWatched && !m_closed ? std::uint32_t{EPOLLOUT} : 0U);
  if (m_watch.Watch(wanted)) return;
  // Not watched, it would never be served nor closed: close it on the next turn.
  QTimer::singleShot(0, this, [this] { CloseNow(); });
}

void ClientSocket::OnPollReady(std::uint32_t events) {
  // An error or hang-up is seen by whichever of the two is watched.
  constexpr std::uint32_t kFailed = EPOLLERR | EPOLLHUP;
  if (m_writeWatched && (events & (EPOLLOUT | kFailed)) != 0) OnWritable();
  if (!m_closed && (events & (EPOLLIN | kFailed)) != 0) OnReadable();
}

void ClientSocket::OnReadable() {
  if (!CanRead()) {
    UpdateWatch();
    return;
  }
  ssize_t n = 0;
  do {
    // recv() rather than read(): a socket's receive needs none of a file's path.
    n = ::recv(m_socket.Get(), m_recvBuf.data(), kRecvMax, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    // The peer closed its end, or the connection failed.
    OnClose();
    return;
  }
  m_sinceActivity.restart();
  m_recvBuf[static_cast<std::size_t>(n)] = 0;
  m_events.OnSocketReceive(
      this, std::span<const std::uint8_t>(m_recvBuf.data(), static_cast<std::size_t>(n)));
  if (m_closed) return;
  // Without a pause, more waiting data is still taken one receive per turn of
  // the event loop, so other connections and the serial channel get their turns.
  const int pace = m_events.TcpPaceMs();
  if (pace > 0) {
    m_paused = true;
    m_paceTimer.start(pace);
    UpdateWatch();
  }
}

void ClientSocket::OnPaceElapsed() {
  m_paused = false;
  UpdateWatch();
}

void ClientSocket::OnWritable() {
  if (m_closed) return;
  while (m_writeDone < m_writeQueue.size()) {
    const ssize_t n = ::send(m_socket.Get(), m_writeQueue.data() + m_writeDone,
                             m_writeQueue.size() - m_writeDone, MSG_NOSIGNAL);
    if (n > 0) {
      m_writeDone += static_cast<std::size_t>(n);
      m_sinceActivity.restart();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    OnClose();  // the peer is gone
    return;
  }
  m_writeQueue.clear();
  m_writeDone = 0;
  m_writeWatched = false;
  m_writeBlocked = false;
  // Data that waited meanwhile is taken on a later turn, as after a pause.
  UpdateWatch();
}

void ClientSocket::OnIdleTimer() {
  if (m_closed || m_limits.idleSec <= 0) return;
  // One timer per connection, moved on only when it fires: a receive costs a
  // clock reading, not a timer restart.
  const qint64 idleMs = IdleMs(m_limits.idleSec);
  const qint64 silentMs = m_sinceActivity.elapsed();
  if (silentMs >= idleMs) {
    CloseNow();
    return;
  }
  m_idleTimer.start(static_cast<int>(idleMs - silentMs));
}

void ClientSocket::OnClose() {
  if (m_closed) return;
  m_closed = true;
  m_paceTimer.stop();
  m_idleTimer.stop();
  m_writeWatched = false;
  m_watch.Watch(0);  // out of the set now: nothing more is reported for it
  m_events.OnSocketClosed(this);
}

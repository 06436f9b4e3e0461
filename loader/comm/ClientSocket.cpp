// One accepted TCP connection on its own descriptor, watched by the event loop.
#include "comm/ClientSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
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

CClientSocket::CClientSocket(CUniqueFd socket, ISocketEvents& events, ConnectionLimits limits,
                             QObject* pParent)
    : QObject(pParent), m_Socket(std::move(socket)), m_Events(events), m_Limits(limits) {
  m_strPeerName = DescribePeer(m_Socket.Get());
  m_PaceTimer.setSingleShot(true);
  QObject::connect(&m_PaceTimer, &QTimer::timeout, this, [this] { OnPaceElapsed(); });
  m_IdleTimer.setSingleShot(true);
  QObject::connect(&m_IdleTimer, &QTimer::timeout, this, [this] { OnIdleTimer(); });
  m_SinceActivity.start();
  if (m_Limits.nIdleSec > 0) m_IdleTimer.start(IdleMs(m_Limits.nIdleSec));
  m_pReadNotifier = std::make_unique<QSocketNotifier>(m_Socket.Get(), QSocketNotifier::Read);
  QObject::connect(m_pReadNotifier.get(), &QSocketNotifier::activated, this,
                   [this] { OnReadable(); });
  m_pWriteNotifier = std::make_unique<QSocketNotifier>(m_Socket.Get(), QSocketNotifier::Write);
  m_pWriteNotifier->setEnabled(false);
  QObject::connect(m_pWriteNotifier.get(), &QSocketNotifier::activated, this,
                   [this] { OnWritable(); });
  // Data that arrived before we were connected up keeps the descriptor
  // readable, so it is taken on the first turn of the loop.
}

CClientSocket::~CClientSocket() {
  m_PaceTimer.stop();
  m_IdleTimer.stop();
  // The notifiers go before the descriptor they watch.
  m_pReadNotifier.reset();
  m_pWriteNotifier.reset();
}

int CClientSocket::Send(std::span<const std::uint8_t> data) {
  if (m_bClosed || data.empty()) return 0;
  // A peer that does not read must not make us hold its replies without end.
  const std::size_t queued = WriteQueued();
  if (queued + data.size() > m_Limits.nMaxWriteQueue) {
    if (queued > 0) {
      m_bWriteBlocked = true;
      UpdateReadWatch();
    }
    return 0;
  }
  std::size_t sent = 0;
  if (queued == 0) {
    // The usual case: the system takes the whole reply at once.
    const ssize_t n = ::send(m_Socket.Get(), data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      return 0;  // the connection failed; reading sees it and closes
    }
    sent = n > 0 ? static_cast<std::size_t>(n) : 0;
    if (sent == data.size()) return static_cast<int>(sent);
    m_WriteQueue.clear();
    m_nWriteDone = 0;
  }
  // What the system did not take waits in our queue: read no more from this
  // peer (and so answer no more) until it has taken it.
  m_WriteQueue.insert(m_WriteQueue.end(), data.begin() + static_cast<std::ptrdiff_t>(sent),
                      data.end());
  m_bWriteBlocked = true;
  m_pWriteNotifier->setEnabled(true);
  UpdateReadWatch();
  return static_cast<int>(data.size());
}

void CClientSocket::CloseNow() {
  if (m_bClosed) return;
  // The peer hears of it now; the descriptor itself goes with this object, after
  // its notifiers (this may run inside one of their notifications).
  ::shutdown(m_Socket.Get(), SHUT_RDWR);
  OnClose();
}

void CClientSocket::UpdateReadWatch() {
  if (m_pReadNotifier) m_pReadNotifier->setEnabled(CanRead());
}

void CClientSocket::OnReadable() {
  if (!CanRead()) {
    UpdateReadWatch();
    return;
  }
  ssize_t n = 0;
  do {
    n = ::read(m_Socket.Get(), m_RecvBuf.data(), kRecvMax);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
  if (n <= 0) {
    // The peer closed its end, or the connection failed.
    OnClose();
    return;
  }
  m_SinceActivity.restart();
  m_RecvBuf[static_cast<std::size_t>(n)] = 0;
  m_Events.OnSocketReceive(
      this, std::span<const std::uint8_t>(m_RecvBuf.data(), static_cast<std::size_t>(n)));
  if (m_bClosed) return;
  // Without a pause, more waiting data is still taken one receive per turn of
  // the event loop, so other connections and the serial channel get their turns.
  const int pace = m_Events.TcpPaceMs();
  if (pace > 0) {
    m_bPaused = true;
    m_PaceTimer.start(pace);
    UpdateReadWatch();
  }
}

void CClientSocket::OnPaceElapsed() {
  m_bPaused = false;
  UpdateReadWatch();
}

void CClientSocket::OnWritable() {
  if (m_bClosed) return;
  while (m_nWriteDone < m_WriteQueue.size()) {
    const ssize_t n = ::send(m_Socket.Get(), m_WriteQueue.data() + m_nWriteDone,
                             m_WriteQueue.size() - m_nWriteDone, MSG_NOSIGNAL);
    if (n > 0) {
      m_nWriteDone += static_cast<std::size_t>(n);
      m_SinceActivity.restart();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    OnClose();  // the peer is gone
    return;
  }
  m_WriteQueue.clear();
  m_nWriteDone = 0;
  m_pWriteNotifier->setEnabled(false);
  m_bWriteBlocked = false;
  // Data that waited meanwhile is taken on a later turn, as after a pause.
  UpdateReadWatch();
}

void CClientSocket::OnIdleTimer() {
  if (m_bClosed || m_Limits.nIdleSec <= 0) return;
  // One timer per connection, moved on only when it fires: a receive costs a
  // clock reading, not a timer restart.
  const qint64 idleMs = IdleMs(m_Limits.nIdleSec);
  const qint64 silentMs = m_SinceActivity.elapsed();
  if (silentMs >= idleMs) {
    CloseNow();
    return;
  }
  m_IdleTimer.start(static_cast<int>(idleMs - silentMs));
}

void CClientSocket::OnClose() {
  if (m_bClosed) return;
  m_bClosed = true;
  m_PaceTimer.stop();
  m_IdleTimer.stop();
  if (m_pReadNotifier) m_pReadNotifier->setEnabled(false);
  if (m_pWriteNotifier) m_pWriteNotifier->setEnabled(false);
  m_Events.OnSocketClosed(this);
}

// The TCP listener on a socket of our own.
#include "net/ListenSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
// Many terminals may connect at once (a site powering up): the kernel caps this
// at net.core.somaxconn.
constexpr int kBacklog = SOMAXCONN;
}  // namespace

ListenSocket::ListenSocket(std::function<void()> onAccept) : m_onAccept(std::move(onAccept)) {
  m_backoffTimer.setSingleShot(true);
  QObject::connect(&m_backoffTimer, &QTimer::timeout, [this] {
    if (m_watch) m_watch->SetEnabled(true);
    // Connections may have waited all along; don't wait for a new one to try.
    if (m_onAccept) m_onAccept();
  });
}

ListenSocket::~ListenSocket() {
  m_backoffTimer.stop();
  m_watch.reset();
}

bool ListenSocket::Listen(std::uint16_t port) {
  return Listen(std::string(), port);
}

bool ListenSocket::Listen(const std::string& address, std::uint16_t port) {
  m_watch.reset();
  m_fd.Reset();
  m_port = 0;
  sockaddr_storage addr{};
  socklen_t len = 0;
  auto* a6 = reinterpret_cast<sockaddr_in6*>(&addr);
  auto* a4 = reinterpret_cast<sockaddr_in*>(&addr);
  UniqueFd fd;
  bool v6 = false;
  if (address.empty()) {
    // One IPv6 socket that also takes IPv4, as "any address" means; IPv4 alone
    // where the host has no IPv6.
    fd.Reset(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    v6 = fd.Valid();
    if (v6) {
      a6->sin6_addr = in6addr_any;
    } else {
      fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
      a4->sin_addr.s_addr = htonl(INADDR_ANY);
    }
  } else if (::inet_pton(AF_INET, address.c_str(), &a4->sin_addr) == 1) {
    fd.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  } else if (::inet_pton(AF_INET6, address.c_str(), &a6->sin6_addr) == 1) {
    v6 = true;
    fd.Reset(::socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  } else {
    m_error = "not a numeric IP address: " + address;
    return false;
  }
  if (!fd) {
    m_error = std::strerror(errno);
    return false;
  }
  const int on = 1, off = 0;
  (void)::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (v6) {
    if (address.empty()) (void)::setsockopt(fd.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    a6->sin6_family = AF_INET6;
    a6->sin6_port = htons(port);
    len = sizeof(sockaddr_in6);
  } else {
    a4->sin_family = AF_INET;
    a4->sin_port = htons(port);
    len = sizeof(sockaddr_in);
  }
  if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
      ::listen(fd.Get(), kBacklog) != 0 ||
      ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    m_error = std::strerror(errno);
    return false;
  }
  auto watch = std::make_unique<ReadWatch>(fd.Get(), [this] {
    if (m_onAccept) m_onAccept();
  });
  if (!watch->Watching()) {
    m_error = std::string("cannot watch the listening socket: ") + std::strerror(errno);
    return false;
  }
  m_port = ntohs(v6 ? a6->sin6_port : a4->sin_port);
  m_fd = std::move(fd);
  m_watch = std::move(watch);
  m_error.clear();
  return true;
}

UniqueFd ListenSocket::Accept() {
  if (!m_fd || IsBackingOff()) return {};
  for (;;) {
    const int fd = ::accept4(m_fd.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      m_backoffMs = kAcceptBackoffFirstMs;
      return UniqueFd(fd);
    }
    switch (errno) {
      case EINTR:
      case ECONNABORTED:  // the peer gave up while waiting: take the next one
      case EPROTO:
        continue;
      case EMFILE:
      case ENFILE:
      case ENOBUFS:
      case ENOMEM:
        BackOff();
        return {};
      default:  // EAGAIN: nothing waits
        return {};
    }
  }
}

void ListenSocket::BackOff() {
  // The connection stays in the backlog and the listener stays readable:
  // stop listening for readiness, try again later, later still if it fails again.
  ++m_acceptErrors;
  if (m_watch) m_watch->SetEnabled(false);
  m_backoffTimer.start(m_backoffMs);
  m_backoffMs = std::min(m_backoffMs * 2, kAcceptBackoffMaxMs);
}

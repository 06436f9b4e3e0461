// Serial, pseudo-terminal and TCP lines on POSIX descriptors with poll time-outs.
#include "Transport.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace termsim {
namespace {

std::string ErrnoText(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

void CloseFd(int fd) noexcept {
  if (fd >= 0) ::close(fd);
}

/// Closes a descriptor unless released (for the set-up paths that can fail).
class FdGuard {
 public:
  explicit FdGuard(int fd) noexcept : m_fd(fd) {}
  ~FdGuard() { CloseFd(m_fd); }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int Get() const noexcept { return m_fd; }
  int Release() noexcept {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

speed_t SpeedFor(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B0;
  }
}

bool MakeRaw(int fd, speed_t speed) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return false;
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (speed != B0) {
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
  }
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool SetNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

FdTransport::FdTransport(int fd, std::string description, bool isSocket) noexcept
    : m_fd(fd), m_isSocket(isSocket), m_description(std::move(description)) {}

FdTransport::~FdTransport() {
  CloseFd(m_fd);
}

bool FdTransport::Send(std::span<const std::uint8_t> bytes) {
  constexpr int kWritePollMs = 5000;
  while (!bytes.empty()) {
    const ssize_t n = m_isSocket ? ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL)
                                 : ::write(m_fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes = bytes.subspan(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd pfd{m_fd, POLLOUT, 0};
      const int ready = ::poll(&pfd, 1, kWritePollMs);
      if (ready == 0) {
        m_lastError = "write to " + m_description + " timed out";
        return false;
      }
      if (ready < 0 && errno != EINTR) {
        m_lastError = ErrnoText("poll " + m_description);
        return false;
      }
      continue;
    }
    m_lastError = ErrnoText("write to " + m_description);
    return false;
  }
  return true;
}

ReadStatus FdTransport::Receive(Bytes& out, Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    pollfd pfd{m_fd, POLLIN, 0};
    const int ready = ::poll(&pfd, 1, static_cast<int>(std::max<Millis::rep>(left.count(), 0)));
    if (ready < 0) {
      if (errno == EINTR) continue;
      m_lastError = ErrnoText("poll " + m_description);
      return ReadStatus::Error;
    }
    if (ready == 0) return ReadStatus::Timeout;
    std::uint8_t chunk[4096];
    const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
    if (n > 0) {
      out.insert(out.end(), chunk, chunk + n);
      return ReadStatus::Data;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n == 0 || errno == EIO) {  // EIO: the pty's other side is gone
      m_lastError = m_description + " was closed by the other side";
      return ReadStatus::Closed;
    }
    m_lastError = ErrnoText("read from " + m_description);
    return ReadStatus::Error;
  }
}

std::unique_ptr<PtyTransport> PtyTransport::Create(std::string& error) {
  FdGuard master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (master.Get() < 0 || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
    error = ErrnoText("cannot create a pseudo-terminal");
    return nullptr;
  }
  char name[128] = {};
  if (::ptsname_r(master.Get(), name, sizeof name) != 0) {
    error = ErrnoText("ptsname");
    return nullptr;
  }
  FdGuard slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (slave.Get() < 0) {
    error = ErrnoText(std::string("open ") + name);
    return nullptr;
  }
  // Raw at once, so nothing the terminal writes is echoed back before the loader sets the line up.
  if (!MakeRaw(slave.Get(), B0) || !SetNonBlocking(master.Get())) {
    error = ErrnoText("set up the pseudo-terminal");
    return nullptr;
  }
  return std::unique_ptr<PtyTransport>(new PtyTransport(master.Release(), slave.Release(), name));
}

PtyTransport::PtyTransport(int master, int slave, std::string slavePath)
    : FdTransport(master, "pty " + slavePath), m_slave(slave), m_slavePath(std::move(slavePath)) {}

PtyTransport::~PtyTransport() {
  ReleaseSlave();
}

void PtyTransport::ReleaseSlave() noexcept {
  CloseFd(m_slave);
  m_slave = -1;
}

std::unique_ptr<ITransport> OpenSerialDevice(const std::string& path, int baud,
                                             std::string& error) {
  const speed_t speed = SpeedFor(baud);
  if (speed == B0) {
    error = "unsupported line speed " + std::to_string(baud);
    return nullptr;
  }
  FdGuard fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0) {
    error = ErrnoText("cannot open " + path);
    return nullptr;
  }
  if (!MakeRaw(fd.Get(), speed)) {
    error = ErrnoText("cannot set " + path + " to raw 8N1");
    return nullptr;
  }
  ::tcflush(fd.Get(), TCIOFLUSH);
  return std::make_unique<FdTransport>(fd.Release(), "serial " + path);
}

std::unique_ptr<ITransport> ConnectTcp(const std::string& host, int port, Millis timeout,
                                       std::string& error) {
  if (port <= 0 || port > 65535) {
    error = "bad TCP port " + std::to_string(port);
    return nullptr;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rc != 0) {
    error = "cannot resolve " + host + ": " + ::gai_strerror(rc);
    return nullptr;
  }
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> list(found, &::freeaddrinfo);
  const std::string where = host + ":" + service;
  error = "cannot connect to " + where;
  for (const addrinfo* ai = list.get(); ai != nullptr; ai = ai->ai_next) {
    FdGuard fd(
        ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol));
    if (fd.Get() < 0) continue;
    if (::connect(fd.Get(), ai->ai_addr, ai->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        error = ErrnoText("cannot connect to " + where);
        continue;
      }
      pollfd pfd{fd.Get(), POLLOUT, 0};
      int ready = 0;
      do {
        ready = ::poll(&pfd, 1, static_cast<int>(timeout.count()));
      } while (ready < 0 && errno == EINTR);
      int soError = 0;
      socklen_t len = sizeof soError;
      if (ready <= 0) {
        error = "connecting to " + where + " timed out";
        continue;
      }
      if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) {
        errno = soError;
        error = ErrnoText("cannot connect to " + where);
        continue;
      }
    }
    const int one = 1;
    ::setsockopt(fd.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    error.clear();
    return std::make_unique<FdTransport>(fd.Release(), "tcp " + where, true);
  }
  return nullptr;
}

}  // namespace termsim

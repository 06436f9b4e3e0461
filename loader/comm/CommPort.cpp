// Serial channel on a POSIX serial device (termios, poll, eventfd).
#include "comm/CommPort.h"

#include "comm/LineSettings.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

namespace {
constexpr std::uint32_t kTimeoutBaseRate = 38400;
constexpr std::uint32_t kBitsPerByte = 10;          // start + 8 data + stop
constexpr std::uint32_t kUnboundedFactor = 4;
constexpr std::uint32_t kUnboundedSlackMs = 2000;

int PollRetry(pollfd* fds, nfds_t n, int timeoutMs) {
  for (;;) {
    const int r = ::poll(fds, n, timeoutMs);
    if (r >= 0 || errno != EINTR) return r;
  }
}
}  // namespace

std::uint32_t WriteTimeoutMultiplier(std::uint32_t rate) {
  return rate == 0 ? 0 : kTimeoutBaseRate / rate;
}

std::uint32_t WriteTimeoutMs(std::uint32_t rate, std::size_t nLen) {
  const std::uint32_t multiplier = WriteTimeoutMultiplier(rate);
  const auto len = static_cast<std::uint64_t>(nLen);
  std::uint64_t ms = 0;
  if (multiplier != 0) {
    ms = multiplier * len;
  } else {
    const std::uint64_t lineMs = rate == 0 ? 0 : (len * kBitsPerByte * 1000 + rate - 1) / rate;
    ms = lineMs * kUnboundedFactor + kUnboundedSlackMs;
  }
  return ms > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(ms);
}

CCommPort::CCommPort() = default;

CCommPort::~CCommPort() { Close(); }

void CCommPort::SetNotify(std::function<void()> notify) { m_HandOff.SetNotify(std::move(notify)); }

bool CCommPort::Open() {
  // Never let an old reader overlap a new one: finish the previous port first.
  Close();
  PrepareOpen();

  const std::string& path = PortDevice();
  CUniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) return false;
  // TIOCEXCL keeps other non-root openers out; the flock is what other serial
  // programs (and root) honour. A port in use elsewhere fails like a missing one.
  (void)::ioctl(fd.Get(), TIOCEXCL);
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    (void)::ioctl(fd.Get(), TIOCNXCL);
    return false;
  }
  CUniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake.Valid()) {
    (void)::ioctl(fd.Get(), TIOCNXCL);
    return false;
  }
  (void)::tcflush(fd.Get(), TCIOFLUSH);
  // The line is set before the reader starts so the two never race.
  const bool bLineSet = SetRawLine(fd.Get(), m_dwBaudRate);
  (void)::tcflush(fd.Get(), TCIFLUSH);

  m_hComm = std::move(fd);
  m_hWake = std::move(wake);
  m_HandOff.Arm();
  m_bOpen = true;
  try {
    m_hThread = std::thread(&CCommPort::ReadThreadProc, this);
  } catch (...) {
    Close();
    return false;
  }
  if (!bLineSet) return false;

  if (m_nCommType == COMM_MODEM) {
    const std::string command = ModemInitCommand();
    (void)Write({reinterpret_cast<const std::uint8_t*>(command.data()), command.size()});
  }
  return true;
}

void CCommPort::Close() {
  m_bOpen = false;
  m_HandOff.Cancel();
  WakeReader();
  if (m_hThread.joinable()) m_hThread.join();
  if (m_hComm.Valid()) {
    (void)::tcflush(m_hComm.Get(), TCIOFLUSH);
    (void)::ioctl(m_hComm.Get(), TIOCNXCL);
    m_hComm.Reset();  // also drops the flock
  }
  m_hWake.Reset();
}

void CCommPort::WakeReader() {
  if (!m_hWake.Valid()) return;
  const std::uint64_t one = 1;
  (void)!::write(m_hWake.Get(), &one, sizeof one);
}

int CCommPort::Write(std::span<const std::uint8_t> data) {
  if (!m_hComm.Valid() || data.empty()) return 0;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(WriteTimeoutMs(m_dwBaudRate, data.size()));
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(m_hComm.Get(), data.data() + done, data.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;  // device gone or refused: report what went out
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd pfd{m_hComm.Get(), POLLOUT, 0};
    if (PollRetry(&pfd, 1, static_cast<int>(left.count())) <= 0) break;
    if ((pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
  }
  return static_cast<int>(done);
}

CCommPort::ReadResult CCommPort::ReadChunk(std::uint8_t* pBuf, int nMax, bool bProbe) {
  int waiting = 0;
  if (::ioctl(m_hComm.Get(), FIONREAD, &waiting) != 0) return {0, ReadStatus::Gone};
  // Nothing waiting: skip the read, unless poll called the port readable, in
  // which case the read tells a spurious wake-up (EAGAIN) from a vanished port (0).
  if (waiting <= 0 && !bProbe) return {0, ReadStatus::Ok};
  for (;;) {
    const ssize_t n = ::read(m_hComm.Get(), pBuf, static_cast<std::size_t>(nMax));
    if (n > 0) return {static_cast<int>(n), ReadStatus::Ok};
    if (n == 0) return {0, ReadStatus::Gone};  // bytes announced, end of file: unplugged
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return {0, ReadStatus::Ok};
    return {0, ReadStatus::Gone};
  }
}

int CCommPort::ReadPort(void* pBuf, int nMax) {
  if (!m_hComm.Valid() || nMax <= 0) return 0;
  return ReadChunk(static_cast<std::uint8_t*>(pBuf), nMax, false).n;
}

CCommPort::WaitResult CCommPort::WaitForInput() {
  std::array<pollfd, 2> fds{{{m_hComm.Get(), POLLIN, 0}, {m_hWake.Get(), POLLIN, 0}}};
  if (PollRetry(fds.data(), fds.size(), -1) < 0) return WaitResult::Gone;
  if (fds[1].revents != 0 || !m_bOpen) return WaitResult::Stop;
  if ((fds[0].revents & POLLIN) != 0) return WaitResult::Readable;
  return WaitResult::Gone;  // POLLHUP, POLLERR or POLLNVAL without data
}

bool CCommPort::PauseBurst() {
  // The pause doubles as the wait for Close, so closing never waits 15 ms.
  pollfd pfd{m_hWake.Get(), POLLIN, 0};
  return PollRetry(&pfd, 1, kBurstPauseMs) == 0 && m_bOpen;
}

int CCommPort::ReadThreadProc(CCommPort* pPort) {
  pPort->RunReader();
  return 1;
}

void CCommPort::RunReader() {
  std::array<std::uint8_t, kReadChunk> buf{};
  while (m_bOpen) {
    const WaitResult wait = WaitForInput();
    if (wait == WaitResult::Stop) return;
    bool bGone = wait == WaitResult::Gone;
    bool bAny = false;
    // Burst loop: read, pause, until a read comes back empty.
    for (bool bFirst = true; !bGone; bFirst = false) {
      const ReadResult r = ReadChunk(buf.data(), kReadChunk, bFirst);
      if (r.status == ReadStatus::Gone) bGone = true;
      if (r.n > 0) {
        bAny = true;
        // A chunk is stored whole or dropped whole, never in part.
        if (CByteQueue::kCapacity - m_QueueRead.GetCount() > r.n) {
          for (int i = 0; i < r.n; ++i) m_QueueRead.Put(buf[static_cast<std::size_t>(i)]);
        } else if (!m_HandOff.PostAndWait(ReaderEvent::Message, std::string(kQueueFullText))) {
          return;
        }
      }
      if (!PauseBurst()) return;
      if (r.n == 0) break;
    }
    // A wake-up that read nothing is no burst (it must not switch the channel).
    if (bAny && !m_HandOff.PostAndWait(ReaderEvent::Burst)) return;
    if (bGone) {
      // Report once and stop reading; the main thread closes the port.
      (void)m_HandOff.PostAndWait(ReaderEvent::Failure);
      return;
    }
  }
}

void CCommPort::DispatchReaderEvent(ICommEvents& events) {
  const std::optional<ReaderPost> post = m_HandOff.Take();
  if (!post) return;
  switch (post->event) {
    case ReaderEvent::Burst:
      events.OnCommRead();
      m_HandOff.Done(post->token);
      return;
    case ReaderEvent::Message:
      events.OnCommMessage(post->text);
      m_HandOff.Done(post->token);
      return;
    case ReaderEvent::Failure:
      Close();
      events.OnCommFailure();
      return;
  }
}

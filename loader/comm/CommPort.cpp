// Serial channel on a POSIX serial device (termios, poll, eventfd).
#include "comm/CommPort.h"

#include "comm/LineSettings.h"
#include "download/FrameCompleteness.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <vector>

namespace {
constexpr std::uint32_t kTimeoutBaseRate = 38400;
constexpr std::uint32_t kBitsPerByte = 10;  // start + 8 data + stop
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

CCommPort::~CCommPort() {
  Close();
}

void CCommPort::SetNotify(std::function<void()> notify) {
  m_HandOff.SetNotify(std::move(notify));
}

bool CCommPort::Open() {
  // Never let an old reader overlap a new one: finish the previous port first.
  Close();
  PrepareOpen();

  const std::string& path = PortDevice();
  CUniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) return false;
  // /dev/null, a file or a FIFO would "open" and then look hung up at once.
  if (::isatty(fd.Get()) == 0) return false;
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
  m_bReaderFrameDispatch = m_bFrameDispatch;
  m_nReaderFrameWaitMs = std::max(0, m_nFrameWaitMs);
  if (!m_Writer.Start(m_hComm.Get())) {
    Close();
    return false;
  }
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
    // Queued replies get the time the line needs for them, but never so long
    // that closing (or a SIGTERM) waits on a line that takes nothing.
    const auto flushMs = std::min<std::uint32_t>(WriteTimeoutMs(m_dwBaudRate, m_Writer.Queued()),
                                                 static_cast<std::uint32_t>(kSerialCloseFlushMs));
    (void)m_Writer.Stop(static_cast<int>(flushMs));
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
  if (m_Writer.Enqueue(data)) return static_cast<int>(data.size());
  // A frame that does not fit whole is not sent at all: a part of it would only
  // confuse the terminal once the line moves again.
  if (m_OnWriteDropped) m_OnWriteDropped(data.size());
  return 0;
}

void CCommPort::SetWriteDropped(std::function<void(std::size_t)> onDropped) {
  m_OnWriteDropped = std::move(onDropped);
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

CCommPort::WaitResult CCommPort::WaitForInput(int timeoutMs) {
  std::array<pollfd, 2> fds{{{m_hComm.Get(), POLLIN, 0}, {m_hWake.Get(), POLLIN, 0}}};
  const int r = PollRetry(fds.data(), fds.size(), timeoutMs);
  if (r < 0) return WaitResult::Gone;
  if (fds[1].revents != 0 || !m_bOpen) return WaitResult::Stop;
  if (r == 0) return WaitResult::Timeout;
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
  using Clock = std::chrono::steady_clock;
  std::array<std::uint8_t, kReadChunk> buf{};
  std::vector<std::uint8_t> held;  // the bytes stored in this burst, for the frame rule
  while (m_bOpen) {
    const WaitResult wait = WaitForInput(-1);
    if (wait == WaitResult::Stop) return;
    bool bGone = wait == WaitResult::Gone;
    bool bAny = false;
    bool bProbe = true;  // poll called the port readable
    held.clear();
    Clock::time_point frameDeadline{};
    bool bWaitingForRest = false;
    // Burst loop: read, pause, until a read comes back empty. With the frame
    // rule, a complete frame ends the burst at once, and a partial one waits
    // for its rest (up to FRAMEWAIT) instead of the pause.
    while (!bGone) {
      const ReadResult r = ReadChunk(buf.data(), kReadChunk, bProbe);
      bProbe = false;
      if (r.status == ReadStatus::Gone) bGone = true;
      if (r.n > 0) {
        bAny = true;
        const auto n = static_cast<std::size_t>(r.n);
        // A chunk is stored whole or dropped whole, never in part.
        if (CByteQueue::kCapacity - m_QueueRead.GetCount() > r.n) {
          for (std::size_t i = 0; i < n; ++i) m_QueueRead.Put(buf[i]);
          if (m_bReaderFrameDispatch) held.insert(held.end(), buf.begin(), buf.begin() + r.n);
        } else if (!m_HandOff.PostAndWait(ReaderEvent::Message, std::string(kQueueFullText))) {
          return;
        }
      }
      if (bGone) break;
      const ReceivedFrame seen =
          m_bReaderFrameDispatch ? ClassifyReceived(held) : ReceivedFrame::None;
      if (seen == ReceivedFrame::Complete) break;
      if (seen == ReceivedFrame::Incomplete) {
        const auto now = Clock::now();
        if (!bWaitingForRest) {
          bWaitingForRest = true;
          frameDeadline = now + std::chrono::milliseconds(m_nReaderFrameWaitMs);
        }
        if (now < frameDeadline) {
          const auto left = std::chrono::ceil<std::chrono::milliseconds>(frameDeadline - now);
          const WaitResult more = WaitForInput(static_cast<int>(left.count()));
          if (more == WaitResult::Stop) return;
          if (more == WaitResult::Gone) bGone = true;
          if (more != WaitResult::Readable) break;  // the rest never came: hand over as it is
          bProbe = true;
          continue;
        }
        // Waited long enough: bytes still arriving are read to the burst's end.
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

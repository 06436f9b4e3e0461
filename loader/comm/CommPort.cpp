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

std::uint32_t WriteTimeoutMs(std::uint32_t rate, std::size_t byteCount) {
  const std::uint32_t multiplier = WriteTimeoutMultiplier(rate);
  const auto len = static_cast<std::uint64_t>(byteCount);
  std::uint64_t ms = 0;
  if (multiplier != 0) {
    ms = multiplier * len;
  } else {
    const std::uint64_t lineMs = rate == 0 ? 0 : (len * kBitsPerByte * 1000 + rate - 1) / rate;
    ms = lineMs * kUnboundedFactor + kUnboundedSlackMs;
  }
  return ms > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(ms);
}

CommPort::CommPort() = default;

CommPort::~CommPort() {
  Close();
}

void CommPort::SetNotify(std::function<void()> notify) {
  m_handOff.SetNotify(std::move(notify));
}

bool CommPort::Open() {
  // Never let an old reader overlap a new one: finish the previous port first.
  Close();
  PrepareOpen();

  const std::string& path = PortDevice();
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
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
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake.Valid()) {
    (void)::ioctl(fd.Get(), TIOCNXCL);
    return false;
  }
  (void)::tcflush(fd.Get(), TCIOFLUSH);
  // The line is set before the reader starts so the two never race.
  const bool lineSet = SetRawLine(fd.Get(), m_baudRate);
  (void)::tcflush(fd.Get(), TCIFLUSH);

  m_portFd = std::move(fd);
  m_wakeFd = std::move(wake);
  m_readerFrameDispatch = m_frameDispatch;
  m_readerFrameWaitMs = std::max(0, m_frameWaitMs);
  if (!m_writer.Start(m_portFd.Get())) {
    Close();
    return false;
  }
  m_handOff.Arm();
  m_open = true;
  try {
    m_readerThread = std::thread(&CommPort::ReadThreadProc, this);
  } catch (...) {
    Close();
    return false;
  }
  if (!lineSet) return false;

  if (m_commType == kCommModem) {
    const std::string command = ModemInitCommand();
    (void)Write({reinterpret_cast<const std::uint8_t*>(command.data()), command.size()});
  }
  return true;
}

void CommPort::Close() {
  m_open = false;
  m_handOff.Cancel();
  WakeReader();
  if (m_readerThread.joinable()) m_readerThread.join();
  if (m_portFd.Valid()) {
    // Queued replies get the time the line needs for them, but never so long
    // that closing (or a SIGTERM) waits on a line that takes nothing.
    const auto flushMs = std::min<std::uint32_t>(WriteTimeoutMs(m_baudRate, m_writer.Queued()),
                                                 static_cast<std::uint32_t>(kSerialCloseFlushMs));
    (void)m_writer.Stop(static_cast<int>(flushMs));
    (void)::tcflush(m_portFd.Get(), TCIOFLUSH);
    (void)::ioctl(m_portFd.Get(), TIOCNXCL);
    m_portFd.Reset();  // also drops the flock
  }
  m_wakeFd.Reset();
}

void CommPort::WakeReader() {
  if (!m_wakeFd.Valid()) return;
  const std::uint64_t one = 1;
  (void)!::write(m_wakeFd.Get(), &one, sizeof one);
}

int CommPort::Write(std::span<const std::uint8_t> data) {
  if (!m_portFd.Valid() || data.empty()) return 0;
  if (m_writer.Enqueue(data)) return static_cast<int>(data.size());
  // A frame that does not fit whole is not sent at all: a part of it would only
  // confuse the terminal once the line moves again.
  if (m_onWriteDropped) m_onWriteDropped(data.size());
  return 0;
}

void CommPort::SetWriteDropped(std::function<void(std::size_t)> onDropped) {
  m_onWriteDropped = std::move(onDropped);
}

CommPort::ReadResult CommPort::ReadChunk(std::uint8_t* buf, int max, bool probe) {
  int waiting = 0;
  if (::ioctl(m_portFd.Get(), FIONREAD, &waiting) != 0) return {0, ReadStatus::Gone};
  // Nothing waiting: skip the read, unless poll called the port readable, in
  // which case the read tells a spurious wake-up (EAGAIN) from a vanished port (0).
  if (waiting <= 0 && !probe) return {0, ReadStatus::Ok};
  for (;;) {
    const ssize_t n = ::read(m_portFd.Get(), buf, static_cast<std::size_t>(max));
    if (n > 0) return {static_cast<int>(n), ReadStatus::Ok};
    if (n == 0) return {0, ReadStatus::Gone};  // bytes announced, end of file: unplugged
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return {0, ReadStatus::Ok};
    return {0, ReadStatus::Gone};
  }
}

CommPort::WaitResult CommPort::WaitForInput(int timeoutMs) {
  std::array<pollfd, 2> fds{{{m_portFd.Get(), POLLIN, 0}, {m_wakeFd.Get(), POLLIN, 0}}};
  const int r = PollRetry(fds.data(), fds.size(), timeoutMs);
  if (r < 0) return WaitResult::Gone;
  if (fds[1].revents != 0 || !m_open) return WaitResult::Stop;
  if (r == 0) return WaitResult::Timeout;
  if ((fds[0].revents & POLLIN) != 0) return WaitResult::Readable;
  return WaitResult::Gone;  // POLLHUP, POLLERR or POLLNVAL without data
}

bool CommPort::PauseBurst() {
  // The pause doubles as the wait for Close, so closing never waits 15 ms.
  pollfd pfd{m_wakeFd.Get(), POLLIN, 0};
  return PollRetry(&pfd, 1, kBurstPauseMs) == 0 && m_open;
}

int CommPort::ReadThreadProc(CommPort* port) {
  port->RunReader();
  return 1;
}

void CommPort::RunReader() {
  using Clock = std::chrono::steady_clock;
  std::array<std::uint8_t, kReadChunk> buf{};
  std::vector<std::uint8_t> held;  // the bytes stored in this burst, for the frame rule
  while (m_open) {
    const WaitResult wait = WaitForInput(-1);
    if (wait == WaitResult::Stop) return;
    bool gone = wait == WaitResult::Gone;
    bool any = false;
    bool probe = true;  // poll called the port readable
    held.clear();
    Clock::time_point frameDeadline{};
    bool waitingForRest = false;
    // Burst loop: read, pause, until a read comes back empty. With the frame
    // rule, a complete frame ends the burst at once, and a partial one waits
    // for its rest (up to FRAMEWAIT) instead of the pause.
    while (!gone) {
      const ReadResult r = ReadChunk(buf.data(), kReadChunk, probe);
      probe = false;
      if (r.status == ReadStatus::Gone) gone = true;
      if (r.n > 0) {
        any = true;
        const auto n = static_cast<std::size_t>(r.n);
        // A chunk is stored whole or dropped whole, never in part.
        if (ByteQueue::kCapacity - m_readQueue.GetCount() > r.n) {
          for (std::size_t i = 0; i < n; ++i) m_readQueue.Put(buf[i]);
          if (m_readerFrameDispatch) held.insert(held.end(), buf.begin(), buf.begin() + r.n);
        } else if (!m_handOff.PostAndWait(ReaderEvent::Message, std::string(kQueueFullText))) {
          return;
        }
      }
      if (gone) break;
      const ReceivedFrame seen =
          m_readerFrameDispatch ? ClassifyReceived(held) : ReceivedFrame::None;
      if (seen == ReceivedFrame::Complete) break;
      if (seen == ReceivedFrame::Incomplete) {
        const auto now = Clock::now();
        if (!waitingForRest) {
          waitingForRest = true;
          frameDeadline = now + std::chrono::milliseconds(m_readerFrameWaitMs);
        }
        if (now < frameDeadline) {
          const auto left = std::chrono::ceil<std::chrono::milliseconds>(frameDeadline - now);
          const WaitResult more = WaitForInput(static_cast<int>(left.count()));
          if (more == WaitResult::Stop) return;
          if (more == WaitResult::Gone) gone = true;
          if (more != WaitResult::Readable) break;  // the rest never came: hand over as it is
          probe = true;
          continue;
        }
        // Waited long enough: bytes still arriving are read to the burst's end.
      }
      if (!PauseBurst()) return;
      if (r.n == 0) break;
    }
    // A wake-up that read nothing is no burst (it must not switch the channel).
    if (any && !m_handOff.PostAndWait(ReaderEvent::Burst)) return;
    if (gone) {
      // Report once and stop reading; the main thread closes the port.
      (void)m_handOff.PostAndWait(ReaderEvent::Failure);
      return;
    }
  }
}

void CommPort::DispatchReaderEvent(ICommEvents& events) {
  const std::optional<ReaderPost> post = m_handOff.Take();
  if (!post) return;
  switch (post->event) {
    case ReaderEvent::Burst:
      events.OnCommRead();
      m_handOff.Done(post->token);
      return;
    case ReaderEvent::Message:
      events.OnCommMessage(post->text);
      m_handOff.Done(post->token);
      return;
    case ReaderEvent::Failure:
      Close();
      events.OnCommFailure();
      return;
  }
}

// Console streams that never block the event loop.
#include "headless/ConsoleQueue.h"

#include "headless/JournalStream.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <string>

namespace {

/// A descriptor of our own for fd that does not block, without making the
/// caller's file description (shared with a shell or a parent) non-blocking:
/// pipes, FIFOs and terminals are opened again through /proc.
UniqueFd OpenNonBlocking(int fd) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return UniqueFd(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
}

}  // namespace

ConsoleQueue::ConsoleQueue(int fd, std::size_t limitBytes) : m_fd(fd), m_limit(limitBytes) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    m_broken = true;  // no such stream: lines go nowhere
    return;
  }
  if (S_ISSOCK(info.st_mode)) {
    m_socket = true;  // send() with MSG_DONTWAIT never blocks
  } else if (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode)) {
    m_ownFd = OpenNonBlocking(fd);
    // Without /proc the stream itself is made non-blocking: never waiting
    // matters more than the flags of a description we share.
    if (!m_ownFd.Valid()) (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  // Regular files take writes at disk speed; they are written directly.
}

ConsoleQueue::~ConsoleQueue() = default;

void ConsoleQueue::Push(std::string_view line) {
  if (m_broken) return;
  std::string text;
  if (m_journal) {
    text = "<" + std::to_string(LinePriority(line)) + ">";
  }
  text.reserve(text.size() + line.size() + 1);  // one allocation, newline included
  text.append(line);
  text.push_back('\n');
  Enqueue(std::move(text), IsProgressLine(line));
}

void ConsoleQueue::Enqueue(std::string text, bool droppable) {
  if (m_earlier != nullptr) m_earlier->Flush();
  if (m_lines.empty()) {
    // The common case: the reader keeps up and the line goes out at once (or
    // with the rest of this turn's lines).
    m_lines.push_back({std::move(text), droppable});
    m_bytes = m_lines.front().text.size();
    m_droppableQueued = droppable ? 1 : 0;
    m_headWritten = 0;
    if (!m_hold) Flush();
    return;
  }
  // A progress line that does not fit is the first to go.
  if (m_bytes + text.size() > m_limit && (droppable || !MakeRoom(text.size()))) {
    ++m_dropped;
    ++m_droppedUnreported;
    return;
  }
  m_bytes += text.size();
  if (droppable) ++m_droppableQueued;
  m_lines.push_back({std::move(text), droppable});
  if (m_bytes >= kConsoleHoldBytes) Flush();
}

void ConsoleQueue::Flush() {
  if (m_lines.empty() || m_watching) return;
  if (m_earlier != nullptr) m_earlier->Flush();
  if (!WriteSome()) Watch(true);
}

bool ConsoleQueue::MakeRoom(std::size_t size) {
  if (size > m_limit) return false;
  // The first line may be half written; it stays so the reader sees whole lines.
  std::size_t index = 1;
  while (m_bytes + size > m_limit && m_droppableQueued > 0 && index < m_lines.size()) {
    if (m_lines[index].droppable) {
      DropAt(index);
    } else {
      ++index;
    }
  }
  while (m_bytes + size > m_limit && m_lines.size() > 1) DropAt(1);
  return m_bytes + size <= m_limit;
}

void ConsoleQueue::DropAt(std::size_t index) {
  const auto it = m_lines.begin() + static_cast<std::ptrdiff_t>(index);
  m_bytes -= it->text.size();
  if (it->droppable) --m_droppableQueued;
  m_lines.erase(it);
  ++m_dropped;
  ++m_droppedUnreported;
}

bool ConsoleQueue::WriteSome() {
  constexpr std::size_t kMaxLines = 64;
  std::array<iovec, kMaxLines> parts{};
  while (!m_lines.empty() && !m_broken) {
    // Every waiting line (up to kMaxLines) in one write.
    std::size_t count = 0;
    for (const Line& line : m_lines) {
      const std::size_t skip = count == 0 ? m_headWritten : 0;
      parts[count].iov_base = const_cast<char*>(line.text.data() + skip);
      parts[count].iov_len = line.text.size() - skip;
      if (++count == kMaxLines) break;
    }
    ssize_t n = 0;
    if (m_socket) {
      msghdr message{};
      message.msg_iov = parts.data();
      message.msg_iovlen = count;
      n = ::sendmsg(m_fd, &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    } else {
      n = ::writev(m_ownFd.Valid() ? m_ownFd.Get() : m_fd, parts.data(), static_cast<int>(count));
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
    if (n <= 0) {
      // The reader is gone (EPIPE) or the stream failed: stop writing for good.
      m_broken = true;
      m_lines.clear();
      m_bytes = 0;
      m_droppableQueued = 0;
      Watch(false);
      return true;
    }
    for (auto left = static_cast<std::size_t>(n); left > 0;) {
      const Line& head = m_lines.front();
      const std::size_t rest = head.text.size() - m_headWritten;
      if (left < rest) {
        m_headWritten += left;
        break;
      }
      left -= rest;
      m_bytes -= head.text.size();
      if (head.droppable) --m_droppableQueued;
      m_lines.pop_front();
      m_headWritten = 0;
    }
    if (m_lines.empty()) ReportDropped();
  }
  return m_lines.empty();
}

void ConsoleQueue::ReportDropped() {
  if (m_droppedUnreported == 0) return;
  const std::uint64_t count = m_droppedUnreported;
  m_droppedUnreported = 0;
  const std::string line = "warning: " + std::to_string(count) + " lines dropped (output not read)";
  std::string text = m_journal ? "<" + std::to_string(LinePriority(line)) + ">" : std::string();
  text += line + "\n";
  m_lines.push_back({std::move(text), false});
  m_bytes = m_lines.front().text.size();
}

void ConsoleQueue::Watch(bool on) {
  m_watching = on && QCoreApplication::instance() != nullptr;
  if (!on) {
    if (m_notifier) m_notifier->setEnabled(false);
    return;
  }
  if (!m_notifier) {
    if (QCoreApplication::instance() == nullptr) return;  // Drain writes it later
    const int fd = m_socket || !m_ownFd.Valid() ? m_fd : m_ownFd.Get();
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
      if (WriteSome()) Watch(false);
    });
  }
  m_notifier->setEnabled(true);
}

void ConsoleQueue::Drain(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const int fd = m_socket || !m_ownFd.Valid() ? m_fd : m_ownFd.Get();
  while (!WriteSome()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) break;
    pollfd pfd{fd, POLLOUT, 0};
    if (::poll(&pfd, 1, static_cast<int>(left)) < 0 && errno != EINTR) break;
  }
  Watch(false);
}

ConsoleLineBuffer::int_type ConsoleLineBuffer::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
  const char c = traits_type::to_char_type(ch);
  xsputn(&c, 1);
  return ch;
}

std::streamsize ConsoleLineBuffer::xsputn(const char* text, std::streamsize count) {
  std::string_view rest(text, static_cast<std::size_t>(count));
  for (std::size_t end = rest.find('\n'); end != std::string_view::npos; end = rest.find('\n')) {
    if (m_partial.empty()) {
      m_queue.Push(rest.substr(0, end));
    } else {
      m_partial.append(rest.substr(0, end));
      m_queue.Push(m_partial);
      m_partial.clear();
    }
    rest.remove_prefix(end + 1);
  }
  m_partial.append(rest);
  return count;
}

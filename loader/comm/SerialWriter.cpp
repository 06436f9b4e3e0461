// Writer thread of the serial line: queued frames out, in order, as the device takes them.
#include "comm/SerialWriter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

bool SerialWriter::Start(int fd) {
  Stop(0);
  UniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake) return false;
  {
    std::lock_guard lock(m_mutex);
    m_fd = fd;
    m_stop = false;
    m_running = true;
  }
  m_wake = std::move(wake);
  try {
    m_thread = std::thread(&SerialWriter::Run, this);
  } catch (...) {
    std::lock_guard lock(m_mutex);
    m_running = false;
    return false;
  }
  return true;
}

bool SerialWriter::Enqueue(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return true;
  {
    std::lock_guard lock(m_mutex);
    if (!m_running || m_stop || m_queued + frame.size() > m_capacity) return false;
    m_frames.emplace_back(frame.begin(), frame.end());
    m_queued += frame.size();
  }
  Wake();
  return true;
}

std::size_t SerialWriter::Stop(int flushMs) {
  std::unique_lock lock(m_mutex);
  if (!m_thread.joinable()) return 0;
  if (flushMs > 0) {
    m_drained.wait_for(lock, std::chrono::milliseconds(flushMs), [&] { return m_queued == 0; });
  }
  m_stop = true;
  lock.unlock();
  Wake();
  m_thread.join();
  lock.lock();
  const std::size_t dropped = m_queued;
  m_frames.clear();
  m_frontDone = 0;
  m_queued = 0;
  m_running = false;
  m_fd = -1;
  lock.unlock();
  m_wake.Reset();
  return dropped;
}

std::size_t SerialWriter::Queued() const {
  std::lock_guard lock(m_mutex);
  return m_queued;
}

void SerialWriter::Wake() {
  if (!m_wake) return;
  const std::uint64_t one = 1;
  (void)!::write(m_wake.Get(), &one, sizeof one);
}

bool SerialWriter::WaitWritable() {
  std::array<pollfd, 2> fds{{{m_fd, POLLOUT, 0}, {m_wake.Get(), POLLIN, 0}}};
  bool queued = false;
  {
    std::lock_guard lock(m_mutex);
    queued = m_queued > 0;
  }
  // Nothing to write: wait for the wake-up only, or POLLOUT would spin.
  const nfds_t first = queued ? 0 : 1;
  while (::poll(fds.data() + first, fds.size() - first, -1) < 0) {
    if (errno != EINTR) return false;
  }
  if (fds[1].revents != 0) {
    std::uint64_t count = 0;
    (void)!::read(m_wake.Get(), &count, sizeof count);
  }
  // A hang-up or error shows in the next write, which then drops the queue.
  return true;
}

void SerialWriter::Run() {
  for (;;) {
    const std::uint8_t* data = nullptr;
    std::size_t left = 0;
    {
      std::lock_guard lock(m_mutex);
      if (m_stop) return;
      if (!m_frames.empty()) {
        // deque::push_back keeps references to elements, so the front stays put unlocked.
        const std::vector<std::uint8_t>& front = m_frames.front();
        data = front.data() + m_frontDone;
        left = front.size() - m_frontDone;
      }
    }
    if (left == 0) {
      if (!WaitWritable()) return;
      continue;
    }
    const ssize_t n = ::write(m_fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      if (!WaitWritable()) return;
      continue;
    }
    std::lock_guard lock(m_mutex);
    if (n > 0) {
      const auto written = static_cast<std::size_t>(n);
      m_frontDone += written;
      m_queued -= written;
      if (m_frontDone == m_frames.front().size()) {
        m_frames.pop_front();
        m_frontDone = 0;
      }
    } else {
      // The device refused (gone, or an error): what is queued cannot go out.
      m_frames.clear();
      m_frontDone = 0;
      m_queued = 0;
    }
    if (m_queued == 0) m_drained.notify_all();
  }
}

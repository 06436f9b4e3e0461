// Writer thread of the serial line: queued frames out, in order, as the device takes them.
#include "comm/SerialWriter.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>

bool CSerialWriter::Start(int fd) {
  Stop(0);
  CUniqueFd wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake) return false;
  {
    std::lock_guard lock(m_Mutex);
    m_nFd = fd;
    m_bStop = false;
    m_bRunning = true;
  }
  m_Wake = std::move(wake);
  try {
    m_Thread = std::thread(&CSerialWriter::Run, this);
  } catch (...) {
    std::lock_guard lock(m_Mutex);
    m_bRunning = false;
    return false;
  }
  return true;
}

bool CSerialWriter::Enqueue(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return true;
  {
    std::lock_guard lock(m_Mutex);
    if (!m_bRunning || m_bStop || m_nQueued + frame.size() > m_nCapacity) return false;
    m_Frames.emplace_back(frame.begin(), frame.end());
    m_nQueued += frame.size();
  }
  Wake();
  return true;
}

std::size_t CSerialWriter::Stop(int flushMs) {
  std::unique_lock lock(m_Mutex);
  if (!m_Thread.joinable()) return 0;
  if (flushMs > 0) {
    m_Drained.wait_for(lock, std::chrono::milliseconds(flushMs), [&] { return m_nQueued == 0; });
  }
  m_bStop = true;
  lock.unlock();
  Wake();
  m_Thread.join();
  lock.lock();
  const std::size_t dropped = m_nQueued;
  m_Frames.clear();
  m_nFrontDone = 0;
  m_nQueued = 0;
  m_bRunning = false;
  m_nFd = -1;
  lock.unlock();
  m_Wake.Reset();
  return dropped;
}

std::size_t CSerialWriter::Queued() const {
  std::lock_guard lock(m_Mutex);
  return m_nQueued;
}

void CSerialWriter::Wake() {
  if (!m_Wake) return;
  const std::uint64_t one = 1;
  (void)!::write(m_Wake.Get(), &one, sizeof one);
}

bool CSerialWriter::WaitWritable() {
  std::array<pollfd, 2> fds{{{m_nFd, POLLOUT, 0}, {m_Wake.Get(), POLLIN, 0}}};
  bool queued = false;
  {
    std::lock_guard lock(m_Mutex);
    queued = m_nQueued > 0;
  }
  // Nothing to write: wait for the wake-up only, or POLLOUT would spin.
  const nfds_t first = queued ? 0 : 1;
  while (::poll(fds.data() + first, fds.size() - first, -1) < 0) {
    if (errno != EINTR) return false;
  }
  if (fds[1].revents != 0) {
    std::uint64_t count = 0;
    (void)!::read(m_Wake.Get(), &count, sizeof count);
  }
  // A hang-up or error shows in the next write, which then drops the queue.
  return true;
}

void CSerialWriter::Run() {
  for (;;) {
    const std::uint8_t* pData = nullptr;
    std::size_t nLeft = 0;
    {
      std::lock_guard lock(m_Mutex);
      if (m_bStop) return;
      if (!m_Frames.empty()) {
        // deque::push_back keeps references to elements, so the front stays put unlocked.
        const std::vector<std::uint8_t>& front = m_Frames.front();
        pData = front.data() + m_nFrontDone;
        nLeft = front.size() - m_nFrontDone;
      }
    }
    if (nLeft == 0) {
      if (!WaitWritable()) return;
      continue;
    }
    const ssize_t n = ::write(m_nFd, pData, nLeft);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      if (!WaitWritable()) return;
      continue;
    }
    std::lock_guard lock(m_Mutex);
    if (n > 0) {
      const auto written = static_cast<std::size_t>(n);
      m_nFrontDone += written;
      m_nQueued -= written;
      if (m_nFrontDone == m_Frames.front().size()) {
        m_Frames.pop_front();
        m_nFrontDone = 0;
      }
    } else {
      // The device refused (gone, or an error): what is queued cannot go out.
      m_Frames.clear();
      m_nFrontDone = 0;
      m_nQueued = 0;
    }
    if (m_nQueued == 0) m_Drained.notify_all();
  }
}

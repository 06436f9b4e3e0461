// The serial line's write queue: the main thread queues whole frames and never
// waits; a thread of the channel writes them to the device as it takes them.
#pragma once

#include "base/UniqueFd.h"
#include "config/LoaderDefaults.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

class SerialWriter {
 public:
  explicit SerialWriter(std::size_t capacity = kSerialWriteQueueBytes) : m_capacity(capacity) {}
  ~SerialWriter() { Stop(0); }
  SerialWriter(const SerialWriter&) = delete;
  SerialWriter& operator=(const SerialWriter&) = delete;

  /// Starts writing to fd (non-blocking, not owned; it must stay open until
  /// Stop). False when no thread or wake-up can be made.
  bool Start(int fd);
  /// Queues a frame whole, in order after the earlier ones; false (nothing
  /// queued) when it would take the queue past its capacity or no writer runs.
  bool Enqueue(std::span<const std::uint8_t> frame);
  /// Waits up to flushMs for the queue to empty, then ends the thread; bytes
  /// still queued are dropped. Returns how many were dropped. Safe when stopped.
  std::size_t Stop(int flushMs);
  /// Bytes queued and not yet taken by the device.
  std::size_t Queued() const;
  std::size_t Capacity() const noexcept { return m_capacity; }

 private:
  void Run();
  void Wake();
  // Waits until the device takes bytes or the thread is woken; false when poll itself fails.
  bool WaitWritable();

  const std::size_t m_capacity;
  int m_fd = -1;
  UniqueFd m_wake;  // eventfd: new frames, or stop
  std::thread m_thread;
  mutable std::mutex m_mutex;
  std::condition_variable m_drained;
  std::deque<std::vector<std::uint8_t>> m_frames;  // front is being written
  std::size_t m_frontDone = 0;                     // bytes of the front frame written
  std::size_t m_queued = 0;
  bool m_running = false;
  bool m_stop = false;
};

// The serial line's write queue: the main thread queues whole frames and never
// waits; a thread of the channel writes them to the device as it takes them.
#pragma once

#include "config/LoaderDefaults.h"
#include "download/UniqueFd.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

class CSerialWriter {
 public:
  explicit CSerialWriter(std::size_t nCapacity = kSerialWriteQueueBytes) : m_nCapacity(nCapacity) {}
  ~CSerialWriter() { Stop(0); }
  CSerialWriter(const CSerialWriter&) = delete;
  CSerialWriter& operator=(const CSerialWriter&) = delete;

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
  std::size_t Capacity() const noexcept { return m_nCapacity; }

 private:
  void Run();
  void Wake();
  // Waits until the device takes bytes or the thread is woken; false when poll itself fails.
  bool WaitWritable();

  const std::size_t m_nCapacity;
  int m_nFd = -1;
  CUniqueFd m_Wake;  // eventfd: new frames, or stop
  std::thread m_Thread;
  mutable std::mutex m_Mutex;
  std::condition_variable m_Drained;
  std::deque<std::vector<std::uint8_t>> m_Frames;  // front is being written
  std::size_t m_nFrontDone = 0;                    // bytes of the front frame written
  std::size_t m_nQueued = 0;
  bool m_bRunning = false;
  bool m_bStop = false;
};

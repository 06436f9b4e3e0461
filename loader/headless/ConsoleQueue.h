// One standard stream (stdout or stderr) written without ever waiting for its
// reader: whole lines go into a bounded queue that the event loop drains as the
// reader takes them. When the reader stalls and the queue is full, progress:
// and session: lines are dropped first, then the oldest others; once the queue
// has drained again a warning line says how many were lost.
#pragma once

#include "base/UniqueFd.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

class QSocketNotifier;

/// About a megabyte of lines may wait for a slow reader.
inline constexpr std::size_t kConsoleQueueBytes = 1024 * 1024;
/// Lines held for the end of the event loop's turn go out once this much waits.
inline constexpr std::size_t kConsoleHoldBytes = 64 * 1024;

class ConsoleQueue {
 public:
  /// fd: the stream to write to (it stays open; the queue writes through a
  /// non-blocking descriptor of its own where the file type needs one).
  explicit ConsoleQueue(int fd, std::size_t limitBytes = kConsoleQueueBytes);
  ~ConsoleQueue();
  ConsoleQueue(const ConsoleQueue&) = delete;
  ConsoleQueue& operator=(const ConsoleQueue&) = delete;

  /// Each line starts with its syslog priority "<N>" (the journal reads it).
  void SetJournal(bool journal) noexcept { m_journal = journal; }
  /// Queues one line (without its newline) and writes what the reader takes now,
  /// or, once HoldUntilFlush() was called, at the next Flush().
  void Push(std::string_view line);
  /// From now on lines wait for Flush(), which the event loop calls at the end of
  /// each turn, so a busy turn's lines leave in one write; never more than
  /// kConsoleHoldBytes wait.
  void HoldUntilFlush() noexcept { m_hold = true; }
  /// Before this queue writes, earlier's held lines go out: two streams that
  /// share a reader (a terminal, 2>&1) keep the order the lines were made in.
  void WriteAfter(ConsoleQueue& earlier) noexcept { m_earlier = &earlier; }
  /// Writes what the reader takes now; the event loop writes the rest later.
  void Flush();
  /// Writes what is queued for at most timeoutMs (at exit); the rest is lost.
  void Drain(int timeoutMs);
  /// Lines dropped so far because the reader did not keep up.
  std::uint64_t DroppedLines() const noexcept { return m_dropped; }
  /// Bytes waiting for the reader.
  std::size_t QueuedBytes() const noexcept { return m_bytes; }

 private:
  struct Line {
    std::string text;  // with its newline (and priority)
    bool droppable = false;
  };
  void Enqueue(std::string text, bool droppable);
  /// Makes room for size more bytes by dropping queued lines; false if it cannot.
  bool MakeRoom(std::size_t size);
  void DropAt(std::size_t index);
  /// Writes as much as the reader takes now; true when the queue is empty.
  bool WriteSome();
  void Watch(bool on);
  /// After the queue drained: one warning for the lines lost meanwhile.
  void ReportDropped();

  int m_fd;
  UniqueFd m_ownFd;  // a non-blocking open file description of our own, if made
  bool m_socket = false;
  bool m_broken = false;  // the reader is gone: nothing more is written
  bool m_journal = false;
  bool m_hold = false;
  bool m_watching = false;  // waiting for the reader: the notifier writes
  ConsoleQueue* m_earlier = nullptr;
  std::size_t m_limit;
  std::deque<Line> m_lines;
  std::size_t m_bytes = 0;
  std::size_t m_headWritten = 0;  // bytes of the first line already written
  std::size_t m_droppableQueued = 0;
  std::uint64_t m_dropped = 0;
  std::uint64_t m_droppedUnreported = 0;
  std::unique_ptr<QSocketNotifier> m_notifier;
};

/// A stream buffer that hands every complete line written to it to a ConsoleQueue.
class ConsoleLineBuffer : public std::streambuf {
 public:
  explicit ConsoleLineBuffer(ConsoleQueue& queue) : m_queue(queue) {}

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* text, std::streamsize count) override;

 private:
  ConsoleQueue& m_queue;
  std::string m_partial;
};

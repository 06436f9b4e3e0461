// The serial channel on a POSIX serial device: exclusive open, raw 8N1 line,
// a reader thread that fills the receive queue burst by burst (or frame by
// frame) and hands each to the main thread, and a bounded write queue that a
// writer thread empties, so the main thread never waits for the line.
#pragma once

#include "base/UniqueFd.h"
#include "comm/ReaderHandOff.h"
#include "comm/SerialChannel.h"
#include "comm/SerialWriter.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

/// What the main thread does with the reader's hand-offs (see DispatchReaderEvent).
class ICommEvents {
 public:
  virtual ~ICommEvents() = default;
  /// A burst is queued in m_readQueue.
  virtual void OnCommRead() = 0;
  /// A message box raised by the reader; the reader waits until this returns.
  virtual void OnCommMessage(std::string_view text) = 0;
  /// The port failed or vanished; it has been closed already.
  virtual void OnCommFailure() = 0;
};

/// Time-out rule of writes: 38400 / rate milliseconds per byte (integer
/// division); 0 at 56000 bit/s and above, meaning "no per-byte bound".
std::uint32_t WriteTimeoutMultiplier(std::uint32_t rate);
/// Time len bytes may take on the line at rate, in milliseconds. Where the
/// multiplier is 0 we still bound it: four times the bytes' time on the line
/// (10 bits each) plus 2 s. Close waits this long (capped) for queued bytes.
std::uint32_t WriteTimeoutMs(std::uint32_t rate, std::size_t len);

class CommPort : public SerialChannel {
 public:
  static constexpr int kReadChunk = 4096;   // bytes per read of the burst loop
  static constexpr int kBurstPauseMs = 15;  // pause after every read of a burst
  static constexpr std::string_view kQueueFullText = "m_QueueRead FULL!";
  /// Status line when a frame finds the write queue full (the line takes nothing).
  static constexpr std::string_view kWriteDroppedText =
      "Serial line not taking data !! - frame dropped";

  CommPort();
  ~CommPort() override;

  /// Opens m_portDevices[m_port] exclusively, sets the line, starts the reader
  /// and, in modem mode, sends the init command. False when the device cannot be
  /// opened or locked (m_open false) or the line is refused (m_open stays true).
  bool Open() override;
  /// Stops the reader (releasing a pending hand-off), joins it, gives queued
  /// writes a bounded time to go out (at most kSerialCloseFlushMs), closes the
  /// device. The receive queue keeps its bytes. Safe to call when closed.
  void Close() override;
  /// Queues the bytes as one frame for the writer thread and returns at once:
  /// data.size(), or 0 when the port is closed or the write queue has no room
  /// for the whole frame (then the frame is dropped and the drop callback runs).
  int Write(std::span<const std::uint8_t> data) override;
  /// Main thread: called with the frame's size whenever Write drops a frame.
  void SetWriteDropped(std::function<void(std::size_t)> onDropped);
  /// Bytes queued for the line and not yet taken by it.
  std::size_t WriteQueued() const { return m_writer.Queued(); }

  /// Sets how the reader wakes the main thread; call while closed. The callback
  /// runs on the reader thread and must only queue a call of DispatchReaderEvent.
  void SetNotify(std::function<void()> notify);
  /// Main thread: handles the reader's pending hand-off, if any, and releases
  /// the reader. On a failure the port is closed before events.OnCommFailure.
  void DispatchReaderEvent(ICommEvents& events);

  /// The reader's entry; returns 1.
  static int ReadThreadProc(CommPort* port);

  /// Descriptor of the open device (-1 when closed); for tests and diagnostics.
  int Fd() const noexcept { return m_portFd.Get(); }

 private:
  enum class ReadStatus { Ok, Gone };
  struct ReadResult {
    int n = 0;
    ReadStatus status = ReadStatus::Ok;
  };
  enum class WaitResult { Readable, Gone, Stop, Timeout };

  ReadResult ReadChunk(std::uint8_t* buf, int max, bool probe);
  WaitResult WaitForInput(int timeoutMs);
  bool PauseBurst();  // false when Close asked the reader to stop
  void RunReader();
  void WakeReader();

  UniqueFd m_portFd;           // the open device
  UniqueFd m_wakeFd;           // eventfd: Close wakes the reader through it
  std::thread m_readerThread;  // the reader
  ReaderHandOff m_handOff;
  SerialWriter m_writer;
  std::function<void(std::size_t)> m_onWriteDropped;
  // The dispatch rule as Open found it; only the reader reads these afterwards.
  bool m_readerFrameDispatch = kDefaultFrameDispatch;
  int m_readerFrameWaitMs = kDefaultFrameWaitMs;
};

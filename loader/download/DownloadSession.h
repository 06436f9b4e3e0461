// The ROM and BLL download sessions: the transfer state of the main dialog and
// every reply, status text and progress step of a download. The dialog that
// derives from it supplies the view, progress bar and serial channel.
#pragma once

#include "download/Frame.h"
#include "download/ImageFile.h"

#include <cstdint>
#include <span>
#include <string>

inline constexpr int kStateBlocked = -1, kStateIdle = 0, kStateActive = 1;

// Status texts.
inline constexpr const char* kStatusStarted = " download is started";
inline constexpr const char* kStatusTermError = "Terminal error occurs!!";
inline constexpr const char* kStatusRomDone = "bin download O.K!!";
inline constexpr const char* kStatusLrcError = "Packet LRC error !! - ";
inline constexpr const char* kStatusLengthError = "Packet length error !! - ";
inline constexpr const char* kStatusOpenError = "File open error !! - ";
inline constexpr const char* kStatusTooLarge = "File too large !! - ";

/// How a running transfer ended.
enum class SessionEnd {
  Completed,         // the end frame went out: every block was accepted
  TerminalError,     // the terminal reported an error
  TerminalDone,      // the terminal said "done" before the end frame
  Abandoned,         // a command cut it off (port settings, ROM location)
  ConnectionClosed,  // the connection that started it closed
  TimedOut,          // its channel stayed silent too long
  PortFailed,        // the serial port its replies need failed
  Refused,           // the requested image could not be opened (m_refusal says why)
};

/// Where a BLL reply goes: the channel that delivered the frame being answered.
class IFrameSink {
 public:
  virtual ~IFrameSink() = default;
  virtual void SendFrame(std::span<const std::uint8_t> frame) = 0;
};

class DownloadSession {
 public:
  DownloadSession() = default;
  virtual ~DownloadSession() = default;
  DownloadSession(const DownloadSession&) = delete;
  DownloadSession& operator=(const DownloadSession&) = delete;

  /// Answers a ROM request (both sessions idle). Replies go to the serial channel.
  void StartRomSession(std::span<const std::uint8_t> frame);
  /// Answers any frame while the ROM session is active.
  void ContinueRomSession(std::span<const std::uint8_t> frame);
  /// Answers a BLL request (both sessions idle); replies go to reply.
  void StartBllSession(IFrameSink& reply, std::span<const std::uint8_t> frame);
  /// Answers any frame while the BLL session is active; replies go to reply.
  void ContinueBllSession(IFrameSink& reply, std::span<const std::uint8_t> frame);
  /// Ends whichever session runs: both states idle, modem link down, files closed.
  void EndSession();
  /// Closes the files of a transfer that is being abandoned and gives the
  /// buttons back; true when a transfer was running.
  bool AbandonTransfer();
  /// Ends a running transfer for why: states idle, files closed, buttons back,
  /// progress reset. Nothing happens when no transfer runs.
  void FinishTransfer(SessionEnd why);
  /// True while a ROM or BLL transfer runs.
  bool TransferRunning() const { return m_romState > kStateIdle || m_bllState > kStateIdle; }

  /// Frame for block m_packetNo of the ROM image into out; false (out = the
  /// end frame) once every block has been accepted.
  bool BuildRomPacket(Frame& out);
  /// The same for the BLL file and BLL frames.
  bool BuildBllPacket(Frame& out);

  /// Shown-field refresh: UpdateData(false) of the view.
  virtual void UpdateData(bool saveAndValidate) = 0;
  /// false disables the buttons a transfer must not race with; true enables them.
  virtual void EnableControls(bool enable) = 0;

  int m_romState = kStateBlocked;
  int m_bllState = kStateBlocked;
  int m_blockSize = kRomBlockSize;
  int m_fileSize = 0;
  int m_packetNo = 0;
  int m_packetCount = 0;
  UniqueFd m_romFd;  // the open ROM image; invalid when none is open
  UniqueFd m_bllFd;  // the open BLL file; invalid when none is open
  std::string m_romDir, m_bllDir;
  std::string m_fileName;  // the image's name as shown in status texts
  std::string m_status;    // status line
  std::string m_refusal;   // why the last requested image was refused

 protected:
  virtual void ProgressSetRange(int lower, int upper) = 0;
  virtual void ProgressStepIt() = 0;
  virtual void ProgressSetPos(int pos) = 0;
  /// Writes a frame to the serial channel (result not relied on).
  virtual void SerialWrite(std::span<const std::uint8_t> frame) = 0;
  /// True when the serial channel runs through a modem (smaller ROM blocks).
  virtual bool ModemMode() const = 0;
  /// Clears the modem link flag: after a download the next burst is modem text again.
  virtual void ClearModemLink() = 0;
  /// A transfer has started (its start reply went out).
  virtual void OnSessionStarted() {}
  /// A running transfer ended; the counters and m_fileName still describe it.
  /// Also called with SessionEnd::Refused when a requested image is refused.
  virtual void OnSessionEnded(SessionEnd /*why*/) {}
  /// A frame was answered with a reject frame.
  virtual void OnFrameRejected() {}

 private:
  class SerialReply;
  /// The frames of a running session, for either family; replies go to reply.
  void ContinueSession(FrameFamily family, IFrameSink& reply, std::span<const std::uint8_t> frame);
  void ShowPercentage();

  Frame m_reply;  // the reply being built, reused from frame to frame
};

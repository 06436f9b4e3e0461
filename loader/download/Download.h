// One ROM or BLL download: its image file, block size, counters, status text and
// every reply, status text and progress step of the transfer. The line that
// started it receives its events and decides where they show.
#pragma once

#include "download/BlockReader.h"
#include "download/Frame.h"
#include "download/ImageFile.h"

#include <cstdint>
#include <span>
#include <string>

inline constexpr int kStateIdle = 0, kStateActive = 1;

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
  Refused,           // the requested image could not be opened (Refusal() says why)
};

/// Where a reply goes: the line that delivered the frame being answered.
class IFrameSink {
 public:
  virtual ~IFrameSink() = default;
  virtual void SendFrame(std::span<const std::uint8_t> frame) = 0;
};

class Download;

/// What a download tells the line that runs it.
class IDownloadEvents {
 public:
  virtual ~IDownloadEvents() = default;
  /// The status text changed, or is to be shown again.
  virtual void StatusChanged(Download& download) = 0;
  /// false: the buttons a transfer must not race with are to be disabled; true: enabled.
  virtual void ControlsChanged(Download& download, bool enable) = 0;
  virtual void ProgressRange(Download& download, int lower, int upper) = 0;
  virtual void ProgressStep(Download& download) = 0;
  virtual void ProgressPos(Download& download, int pos) = 0;
  /// ROM replies: written to the serial line (result not relied on).
  virtual void SerialWrite(std::span<const std::uint8_t> frame) = 0;
  /// True when ROM replies run through a modem (smaller ROM blocks).
  virtual bool ModemMode() const = 0;
  /// After a download the next burst of the modem is modem text again.
  virtual void ClearModemLink() = 0;
  /// The start reply went out.
  virtual void Started(Download& download) = 0;
  /// A running transfer ended; the counters and FileName() still describe it.
  /// Also called with SessionEnd::Refused when a requested image is refused.
  virtual void Ended(Download& download, SessionEnd why) = 0;
  /// A frame was answered with a reject frame.
  virtual void FrameRejected(Download& download) = 0;
};

class Download {
 public:
  Download(IDownloadEvents& events, std::string romDir, std::string bllDir);
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  /// Answers a ROM request. Replies go to the serial line.
  void StartRom(std::span<const std::uint8_t> frame);
  /// Answers any frame while the ROM transfer runs.
  void ContinueRom(std::span<const std::uint8_t> frame);
  /// Answers a BLL request; replies go to reply.
  void StartBll(IFrameSink& reply, std::span<const std::uint8_t> frame);
  /// Answers any frame while the BLL transfer runs; replies go to reply.
  void ContinueBll(IFrameSink& reply, std::span<const std::uint8_t> frame);
  /// Closes the files of a transfer that is being abandoned, gives the buttons
  /// back and reports it; true when a transfer was running.
  bool Abandon();
  /// Ends a running transfer for why: files closed, buttons back, progress
  /// reset. Nothing happens when no transfer runs.
  void Finish(SessionEnd why);

  /// True for a ROM download, false for a BLL one (set by its request).
  bool IsRom() const noexcept { return m_rom; }
  bool Running() const { return m_romState > kStateIdle || m_bllState > kStateIdle; }
  bool RomRunning() const { return m_romState > kStateIdle; }
  bool BllRunning() const { return m_bllState > kStateIdle; }
  bool RomFileOpen() const { return m_romFd.Valid(); }
  bool BllFileOpen() const { return m_bllFd.Valid(); }
  const std::string& FileName() const { return m_fileName; }
  const std::string& Status() const { return m_status; }
  /// The status line this download writes on, as it shows before the next frame.
  void SetStatus(const std::string& status) { m_status = status; }
  const std::string& Refusal() const { return m_refusal; }
  int BlockSize() const { return m_blockSize; }
  int FileSize() const { return m_fileSize; }
  int PacketNo() const { return m_packetNo; }
  int PacketCount() const { return m_packetCount; }

 private:
  class SerialReply;
  /// Frame for block m_packetNo of the open image into out; false (out = the
  /// end frame) once every block has been accepted.
  bool BuildPacket(FrameFamily family, Frame& out);
  /// The frames of a running transfer, for either family; replies go to reply.
  void ContinueTransfer(FrameFamily family, IFrameSink& reply, std::span<const std::uint8_t> frame);
  void ShowPercentage();
  void CloseFiles();

  IDownloadEvents& m_events;
  std::string m_romDir, m_bllDir;
  int m_romState = kStateIdle;
  int m_bllState = kStateIdle;
  int m_blockSize = kRomBlockSize;
  int m_fileSize = 0;
  int m_packetNo = 0;
  int m_packetCount = 0;
  UniqueFd m_romFd;        // the open ROM image; invalid when none is open
  UniqueFd m_bllFd;        // the open BLL file; invalid when none is open
  BlockReader m_blocks;    // blocks of the open image, read ahead
  std::string m_fileName;  // the image's name as shown in status texts
  std::string m_status;    // status line
  std::string m_refusal;   // why the last requested image was refused
  Frame m_reply;           // the reply being built, reused from frame to frame
  bool m_rom = false;
};

// One line the engine serves: the serial line or one TCP connection. Replies to
// a frame go back on the line that delivered it; a download belongs to the line
// that started it and reports through it to the engine.
#pragma once

#include "comm/Connection.h"
#include "comm/SerialChannel.h"
#include "core/ProgressState.h"
#include "download/Download.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

class Line;

/// What a line's download reports to the engine, with the line it runs on.
class ILineOwner {
 public:
  virtual ~ILineOwner() = default;
  virtual void LineStatusChanged(Line& line) = 0;
  virtual void LineControlsChanged(Line& line, bool enable) = 0;
  // One progress-bar operation of the line's download, already applied to its Progress().
  virtual void LineProgressRange(Line& line, int lower, int upper) = 0;
  virtual void LineProgressStep(Line& line) = 0;
  virtual void LineProgressPos(Line& line, int pos) = 0;
  virtual void LineStarted(Line& line) = 0;
  virtual void LineEnded(Line& line, SessionEnd why) = 0;
  virtual void LineFrameRejected(Line& line) = 0;
  /// ROM replies go to the serial line whichever line asked (a standalone line answers itself).
  virtual void RomReply(std::span<const std::uint8_t> frame) = 0;
  virtual bool RomModemMode() const = 0;
  virtual void ClearModemLink() = 0;
};

class Line : public IFrameSink, private IDownloadEvents {
 public:
  /// A serial line: replies are written to the channel. standalone: a further
  /// line (PORTS) whose downloads, ROM ones too, are its own and answered on it.
  Line(ILineOwner& owner, SerialChannel& serial, bool standalone = false);
  /// A TCP connection: replies are sent on it; its peer is taken once.
  Line(ILineOwner& owner, IConnection& connection);

  /// Replaces the line's download by a new one over romDir and bllDir. shared:
  /// it is the one download that runs at a time across lines (its status and
  /// progress are the window's), not one of the line's own.
  Download& NewDownload(bool shared, const std::string& romDir, const std::string& bllDir);
  /// The line's latest download (running or not); nullptr before the first.
  Download* CurrentDownload() const noexcept { return m_download.get(); }
  bool Running() const { return m_download != nullptr && m_download->Running(); }
  bool Shared() const noexcept { return m_shared; }

  bool IsSerial() const noexcept { return m_serial != nullptr; }
  bool Standalone() const noexcept { return m_standalone; }
  const IConnection* Connection() const noexcept { return m_connection; }
  SerialChannel* Serial() const noexcept { return m_serial; }
  /// "serial COM1" or "tcp 127.0.0.1:40000", as download reports say.
  std::string Via() const;
  /// The connection's peer ("" for a serial line).
  const std::string& Peer() const noexcept { return m_peer; }
  const ProgressState& Progress() const noexcept { return m_progress; }

  /// Replies on the line.
  void SendFrame(std::span<const std::uint8_t> frame) override;

  /// When the download's start reply went out.
  std::int64_t StartMs() const noexcept { return m_startMs; }
  void SetStartMs(std::int64_t ms) noexcept { m_startMs = m_lastFrameMs = ms; }
  /// When the line last sent a frame of its download.
  std::int64_t LastFrameMs() const noexcept { return m_lastFrameMs; }
  void SetLastFrameMs(std::int64_t ms) noexcept { m_lastFrameMs = ms; }
  /// Why a standalone line's port is not open ("" while it is or nobody said).
  const std::string& PortReason() const noexcept { return m_portReason; }
  void SetPortReason(std::string reason) { m_portReason = std::move(reason); }
  /// Order of the line's first download of its own (0: none yet).
  std::uint64_t OwnSince() const noexcept { return m_ownSince; }
  void SetOwnSince(std::uint64_t order) noexcept { m_ownSince = order; }

 private:
  // IDownloadEvents
  void StatusChanged(Download& download) override;
  void ControlsChanged(Download& download, bool enable) override;
  void ProgressRange(Download& download, int lower, int upper) override;
  void ProgressStep(Download& download) override;
  void ProgressPos(Download& download, int pos) override;
  void SerialWrite(std::span<const std::uint8_t> frame) override;
  bool ModemMode() const override;
  void ClearModemLink() override;
  void Started(Download& download) override;
  void Ended(Download& download, SessionEnd why) override;
  void FrameRejected(Download& download) override;

  ILineOwner& m_owner;
  SerialChannel* m_serial = nullptr;
  bool m_standalone = false;
  IConnection* m_connection = nullptr;
  std::string m_peer;
  std::string m_portReason;
  std::unique_ptr<Download> m_download;
  bool m_shared = true;
  ProgressState m_progress;  // the bar of the line's own download
  std::int64_t m_startMs = 0;
  std::int64_t m_lastFrameMs = 0;
  std::uint64_t m_ownSince = 0;
};

// The download engine: the lines it serves (the serial line and each TCP
// connection), the downloads they run and the policy that routes a frame to one
// of them; the settings in effect and the window's commands. Front ends
// (Qt window, headless runner, tests) supply a DownloadHost and a serial channel,
// and see the engine only through snapshots and events.
#pragma once

#include "comm/Connection.h"
#include "comm/SerialChannel.h"
#include "config/LoaderConfig.h"
#include "core/DownloadHost.h"
#include "core/DownloadPolicy.h"
#include "core/EngineSnapshot.h"
#include "core/Line.h"
#include "download/Download.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

inline constexpr const char* kTextConfigMissing = "환경 파일이 존재하지 않습니다.";
inline constexpr const char* kTextPortError = " 포트 오류가 발생하였습니다.";
inline constexpr const char* kTextTcpAccepted = "TCPIP 연결 허가";
inline constexpr const char* kTextNoSerialPort = "시리얼 포트 사용 안 함";
inline constexpr const char* kTextListenError = "TCPIP listen error !! - ";
inline constexpr const char* kTextRomLocationTitle =
    " ROM program을 download할 디렉토리를 선택하세요";
inline constexpr const char* kStatusTimedOut = "Session timed out !! - ";
inline constexpr const char* kStatusRomNeedsSerial =
    "Serial port not open, ROM request not answered !! - ";
inline constexpr const char* kStatusConfigSaved = "Configuration saved: ";
inline constexpr const char* kStatusConfigNotSaved = "Configuration NOT saved: ";
inline constexpr const char* kPortNotOpen = "not open";
inline constexpr const char* kLineOpen = "open";
inline constexpr std::size_t kMaxSocketReceive = 1024;

/// One read of the configuration file.
struct ConfigLoad {
  LoaderConfig config;                // what was read over the settings in effect
  std::vector<std::string> warnings;  // values that were not understood
  std::string error;                  // why the file could not be read ("" when it was)
  bool loaded = false;
};

/// What Apply did to the serial port.
enum class PortChange {
  Kept,      // its settings did not change: it stays as it is
  Opened,    // closed and opened again with the new settings
  Failed,    // closed, and the new settings could not open it
  Disabled,  // PORT=NONE: closed, TCP only
};

class DownloadEngine : private ILineOwner {
 public:
  /// curDir: the process's current directory at start-up (Romvale.cfg lives there).
  DownloadEngine(SerialChannel& serial, DownloadHost host, std::string curDir);
  ~DownloadEngine() override;  // closes any open image file
  DownloadEngine(const DownloadEngine&) = delete;
  DownloadEngine& operator=(const DownloadEngine&) = delete;

  /// Reads the configuration file over the settings in effect (values it does
  /// not understand keep them). The one read of it, at start-up and on reload.
  ConfigLoad ReadConfig() const;
  /// Reads the configuration and applies it; when it cannot be read the message
  /// is shown and downloads stay blocked.
  ConfigLoad Start();
  /// Takes a loaded configuration: folders, pacing, ROM types, time-outs and the
  /// dispatch policy at once; the serial port is closed and opened again when its
  /// settings (device, line, rate, modem command, frame dispatch) differ, and
  /// always the first time. A transfer on the old port ends first.
  PortChange Apply(const LoaderConfig& cfg);
  /// The settings in effect (the last configuration applied, with the port choices since).
  const LoaderConfig& Settings() const noexcept { return m_config; }
  const std::string& ConfigPath() const noexcept { return m_configPath; }
  /// Reads and saves the configuration at path from now on.
  void SetConfigPath(std::string path) { m_configPath = std::move(path); }

  /// Main thread: a serial burst is queued in the channel's read queue.
  void OnCommRead() { OnCommRead(m_serial); }
  /// Main thread: the reader ended because the port failed or vanished.
  void OnCommFailure();

  /// Serves a further serial line (PORTS) on channel, whose m_portName names it;
  /// its downloads, ROM and BLL, are its own and answered on it. The caller opens
  /// and closes the channel and keeps it alive until RemoveSerialLine.
  void AddSerialLine(SerialChannel& channel);
  /// The line on channel is served no more: a download running on it ends first.
  void RemoveSerialLine(SerialChannel& channel);
  /// Main thread: a burst is queued in channel's read queue (the PORT line's or a further one).
  void OnCommRead(SerialChannel& channel);
  /// Main thread: a further line's reader ended because its port failed or vanished.
  void OnLineFailure(SerialChannel& channel);
  /// Why a further line's port is not open ("" once it is); shown in its row.
  void SetLineReason(SerialChannel& channel, std::string reason);
  /// Whether further serial lines are served (the lines are then shown by name).
  bool SeveralLines() const;
  /// A connection was accepted (the listener owns it).
  void OnSocketAccept();
  /// One receive (at most 1024 bytes) from socket; replies of its downloads go back on it.
  void OnSocketReceive(IConnection* socket, std::span<const std::uint8_t> data);
  /// The connection is about to be deleted: a download it started ends at once,
  /// and nothing refers to it afterwards.
  void OnSocketClose(IConnection* socket);
  /// The runtime's session timer: ends every download whose line has sent no
  /// frame for SESSIONTIMEOUT seconds (0: never).
  void OnSessionTimer();
  /// The listener could not be created: the status line says so.
  void OnListenFailed(std::string_view reason);
  /// Port-settings command: dialog, then the chosen port is applied.
  void OnPortSettings();
  /// ROM-location command: folder chooser with downloads blocked.
  void OnRomLocation();
  /// Writes the settings to the configuration file (creating it); the status
  /// line and the log say where, or why it failed.
  void OnSaveConfig();
  /// The port dialog chose a device for COMn: the channel uses it from the next
  /// open, and [Ports] COMn in the configuration file keeps it (reported as a save).
  void MapPortDevice(int port, const std::string& device);
  /// Download button: writes the trigger frame to the serial channel, always.
  void SendTrigger();
  /// Downloads idle when enable (and a configuration was loaded), else blocked.
  /// A running shared transfer is ended (file closed, buttons enabled again).
  void SetSessionsEnabled(bool enable);
  /// A closed port is opened again with its current settings (reconnect). On
  /// success downloads blocked by the failure are idle again and the port line
  /// shows the port; a running transfer is left alone. false when it stays closed.
  bool ReopenPort();
  /// Why the port is not open (shown with the port line); "" when it is.
  void SetPortReason(std::string reason);
  /// A note of the line itself on the status line (e.g. bytes it could not take).
  void ShowStatus(std::string_view text);
  /// Shows the snapshot again.
  void Refresh() { Show(); }

  const EngineSnapshot& Snapshot() const noexcept { return m_snapshot; }
  /// Whether a download runs on any line (ending the program would cut it off).
  bool DownloadRunning() const;
  /// Downloads running, every line.
  int RunningDownloads() const;
  /// Why the serial port is not open, naming its device and where that is set
  /// ("[Ports] COM1=… in <config path>"); "" while it is open or not configured.
  std::string PortExplanation() const;
  /// The running downloads of lines' own (CONCURRENT=1), oldest first.
  std::vector<DownloadInfo> OwnDownloads() const;
  /// The shared download (running or the last one); nullptr before the first.
  const Download* SharedDownload() const;
  /// Whether requests are taken (false: blocked by a command or a missing configuration).
  bool Accepting() const noexcept { return m_accepting; }
  /// [Communication] TCPPACE in effect.
  int TcpPaceMs() const noexcept { return m_config.tcpPace; }
  /// Frames answered with a reject frame, every line.
  std::uint64_t FramesRejected() const noexcept { return m_framesRejected; }

 private:
  /// Routes one trimmed batch from line by the policy.
  void OnFrame(Line& line, std::span<const std::uint8_t> frame);
  /// The shared download: one at a time across lines.
  void SharedFrame(Line& line, std::span<const std::uint8_t> frame);
  /// A line's download of its own.
  void OwnFrame(Line& line, std::span<const std::uint8_t> frame);
  /// True when the shared download runs.
  bool SharedRunning() const;
  /// True when line may drive the running shared download.
  bool MayDrive(const Line& line) const;
  Line& SerialLine() { return *m_lines.front(); }
  Line* FindSerialLine(const SerialChannel& channel) const;
  std::size_t StandaloneCount() const;
  /// The name a download report and the headless lines give line's downloads ("" with one line).
  std::string LineName(const Line& line) const;
  /// The rows of the lines table (empty unless several lines are served).
  std::vector<LineView> LineViews() const;
  Line* FindLine(const IConnection* socket) const;
  /// Closes the port, gives the channel the settings in effect and opens it
  /// again (or not, with PORT=NONE); first: at start-up.
  PortChange ChangePort(bool first);
  void OpenPort();
  void ShowPortStatus();
  void ShowPortFailed();
  void Show();
  /// Status line and log after a write of the configuration file.
  void ReportSave(const std::string& error);
  std::int64_t NowMs() const;
  void Report(SessionEnd why, const Line& line);

  // ILineOwner
  void LineStatusChanged(Line& line) override;
  void LineControlsChanged(Line& line, bool enable) override;
  void LineProgressRange(Line& line, int lower, int upper) override;
  void LineProgressStep(Line& line) override;
  void LineProgressPos(Line& line, int pos) override;
  void LineStarted(Line& line) override;
  void LineEnded(Line& line, SessionEnd why) override;
  void LineFrameRejected(Line& line) override;
  void RomReply(std::span<const std::uint8_t> frame) override;
  bool RomModemMode() const override;
  void ClearModemLink() override;
  /// A line's own download moved its bar: mirrored while no shared one runs, and logged.
  void OwnProgress(Line& line);

  SerialChannel& m_serial;
  DownloadHost m_host;
  std::string m_currentDir;  // current directory at start-up
  std::string m_configPath;  // m_currentDir + "/Romvale.cfg" unless set
  LoaderConfig m_config;     // the settings in effect
  DownloadPolicy m_policy;
  EngineSnapshot m_snapshot;
  std::string m_portReason;  // why the port is not open, for the port line's tooltip
  bool m_configLoaded = false;
  bool m_accepting = false;  // requests are taken (not blocked)
  // The serial line first, then TCP connections in the order of their first frame.
  std::vector<std::unique_ptr<Line>> m_lines;
  std::size_t m_standaloneCount = 0;                       // further serial lines, m_lines[1..]
  std::unordered_map<const IConnection*, Line*> m_lineOf;  // TCP lines by connection
  std::vector<Line*> m_ownLines;  // lines with downloads of their own, in that order
  std::uint64_t m_ownCount = 0;   // downloads of lines' own so far, for their order
  Line* m_sharedLine = nullptr;   // the line that started the shared download
  std::uint64_t m_framesRejected = 0;
  std::array<std::uint8_t, kMaxSocketReceive> m_receiveBuf{};  // the receive being trimmed
};

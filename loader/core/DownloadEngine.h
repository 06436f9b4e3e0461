// The main dialog's core: settings, port status, receive dispatch of the serial
// channel and of TCP connections, and the commands of the window. Front ends
// (Qt window, headless runner, tests) supply a DownloadHost and a serial channel.
#pragma once

#include "comm/Connection.h"
#include "comm/SerialChannel.h"
#include "config/LoaderConfig.h"
#include "core/DownloadHost.h"
#include "core/TcpSession.h"
#include "download/DownloadSession.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

inline constexpr int kChannelTcp = 1;
inline constexpr int kChannelSerial = 2;

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
inline constexpr std::size_t kMaxSocketReceive = 1024;

/// One running TCP session of its own (CONCURRENT=1), as the window lists it.
struct TcpSessionInfo {
  std::string peer;
  std::string file;
  int percent = 0;
};

class DownloadEngine : public DownloadSession, private ITcpSessionOwner {
 public:
  /// curDir: the process's current directory at start-up (Romvale.cfg lives there).
  DownloadEngine(SerialChannel& commPort, DownloadHost host, std::string curDir);
  ~DownloadEngine() override;  // closes any open image file

  /// Loads Romvale.cfg, opens the port and shows its status; false (message
  /// shown, port closed, sessions blocked) when Romvale.cfg is missing.
  bool OnInitDialog();
  /// Main thread: a serial burst is queued in m_commPort.m_readQueue.
  void OnCommRead();
  /// Main thread: the reader ended because the port failed or vanished.
  void OnCommFailure();
  /// A connection was accepted (the listener owns it); socketCount = connections held.
  void OnSocketAccept(int socketCount);
  /// One receive (at most 1024 bytes) from socket; replies of a BLL session go back on it.
  void OnSocketReceive(IConnection* socket, std::span<const std::uint8_t> data);
  /// The connection is about to be deleted: a session it started ends at once,
  /// and nothing refers to it afterwards.
  void OnSocketClose(IConnection* socket);
  /// The runtime's session timer: ends every session whose channel has sent no
  /// frame for SESSIONTIMEOUT seconds (0: never).
  void OnSessionTimer();
  /// The running TCP sessions of their own (CONCURRENT=1), oldest first.
  std::vector<TcpSessionInfo> TcpSessions() const;
  /// The listener could not be created: the status line says so.
  void OnListenFailed(std::string_view reason);
  /// Port-settings command: dialog, then close, copy the choices, reopen.
  void OnPortSettings();
  /// ROM-location command: folder chooser with the sessions blocked.
  void OnRomLocation();
  /// Writes the settings to m_configPath (creating it); the status line and
  /// the log say where, or why it failed.
  void OnSaveConfig();
  /// The port dialog chose a device for COMn: the channel uses it from the next
  /// open, and [Ports] COMn in the configuration file keeps it (reported as a save).
  void MapPortDevice(int port, const std::string& device);
  /// Whether a download runs on any line (ending the program would cut it off).
  bool DownloadRunning() const;
  /// Why the serial port is not open, naming its device and where that is set
  /// ("[Ports] COM1=… in <config path>"); "" while it is open or not configured.
  std::string PortExplanation() const;
  /// Download button: writes the trigger frame to the serial channel, always.
  void SendTrigger();
  /// Sessions idle when enable and the port is open, else blocked. A running
  /// transfer is ended (file closed, buttons enabled again).
  void SetSessionsEnabled(bool enable);
  void EnableControls(bool enable) override;
  /// Port status line from the port name, mode and rate.
  void ShowPortStatus();
  /// A closed port is opened again with its current settings (reconnect). On
  /// success sessions blocked by the failure are idle again and the port line
  /// shows the port; a running transfer is left alone. false when it stays closed.
  bool ReopenPort();
  /// [Communication] TCPPACE as loaded (default 500).
  int TcpPaceMs() const { return m_tcpPace; }
  /// Refreshes the view from the fields.
  void UpdateData(bool saveAndValidate) override;

  std::string m_currentDir;   // current directory at start-up
  std::string m_portStatus;   // edit 1000
  std::string m_romLocation;  // edit 1001
  std::string m_configPath;   // m_currentDir + "/Romvale.cfg"
  std::string m_romTypes;     // ROM type list (only saved back)
  int m_channel = kChannelSerial;
  int m_socketCount = 0;
  int m_tcpPace = kDefaultTcpPaceMs;
  LoaderConfig m_config;  // Romvale.cfg as last loaded (the Linux additions are read from here)
  std::vector<std::string> m_configWarnings;  // values of the last load that were not understood
  std::string m_configError;           // why the last load could not read the file ("" when it did)
  std::string m_portReason;            // why the port is not open, for the port line's tooltip
  bool m_controlsEnabled = true;       // buttons 1005, 3, 1008 (what EnableControls last set)
  std::uint64_t m_framesRejected = 0;  // frames answered with a reject frame, every session
  SerialChannel& m_commPort;

 protected:
  void ProgressSetRange(int lower, int upper) override;
  void ProgressStepIt() override;
  void ProgressSetPos(int pos) override;
  void SerialWrite(std::span<const std::uint8_t> frame) override;
  bool ModemMode() const override;
  void ClearModemLink() override;
  void OnSessionStarted() override;
  void OnSessionEnded(SessionEnd why) override;
  void OnFrameRejected() override;

 private:
  /// Dispatch of one trimmed batch (serial: socket nullptr).
  void DispatchFrame(IConnection* socket, std::span<const std::uint8_t> frame);
  /// The design's single session (serial, or every channel when not concurrent).
  void DispatchSingle(IConnection* socket, std::span<const std::uint8_t> frame);
  /// A frame from a connection that has a session of its own (CONCURRENT=1).
  void DispatchOwnSession(IConnection& socket, std::span<const std::uint8_t> frame);
  TcpSession* FindTcpSession(const IConnection* socket) const;
  /// True when the single session runs and the frame's channel may drive it.
  bool IsSessionChannel(const IConnection* socket) const;
  void ShowPortFailed();
  /// Status line and log after a write of the configuration file.
  void ReportSave(const std::string& error);
  std::int64_t NowMs() const;
  std::string SerialVia() const;
  void Report(SessionEnd why, const DownloadSession& session, std::int64_t startMs,
              const std::string& via);

  // ITcpSessionOwner
  void TcpSessionUpdated(TcpSession& session) override;
  void TcpSessionProgress(TcpSession& session) override;
  void TcpSessionStarted(TcpSession& session) override;
  void TcpSessionEnded(TcpSession& session, SessionEnd why) override;
  void TcpSessionSerialWrite(std::span<const std::uint8_t> frame) override;
  void TcpSessionFrameRejected() override;

  DownloadHost m_host;
  bool m_configLoaded = false;  // Romvale.cfg was read: sessions may be enabled
  bool m_romSession = false;    // the running single session is a ROM download
  // The channel that started the single session (nullptr: serial); meaningful
  // only while it runs.
  IConnection* m_sessionOwner = nullptr;
  std::int64_t m_sessionStartMs = 0;
  std::int64_t m_lastFrameMs = 0;                          // last frame from the session's channel
  std::vector<std::unique_ptr<TcpSession>> m_tcpSessions;  // CONCURRENT=1, in accept order
  std::unordered_map<const IConnection*, TcpSession*> m_tcpSessionOf;  // the same, by connection
  std::array<std::uint8_t, kMaxSocketReceive> m_receiveBuf{};          // the receive being trimmed
};

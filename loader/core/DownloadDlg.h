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

inline constexpr int CHANNEL_TCPIP = 1;
inline constexpr int CHANNEL_SERIAL = 2;

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
  std::string strPeer;
  std::string strFile;
  int nPercent = 0;
};

class CDownloadDlg : public CDownloadSession, private ITcpSessionOwner {
 public:
  /// curDir: the process's current directory at start-up (Romvale.cfg lives there).
  CDownloadDlg(CSerialChannel& commPort, DownloadHost host, std::string curDir);
  ~CDownloadDlg() override;  // closes any open image file

  /// Loads Romvale.cfg, opens the port and shows its status; false (message
  /// shown, port closed, sessions blocked) when Romvale.cfg is missing.
  bool OnInitDialog();
  /// Main thread: a serial burst is queued in m_CommPort.m_QueueRead.
  void OnCommRead();
  /// Main thread: the reader ended because the port failed or vanished.
  void OnCommFailure();
  /// A connection was accepted (the listener owns it); nSocketCount = connections held.
  void OnSocketAccept(int nSocketCount);
  /// One receive (at most 1024 bytes) from pSocket; replies of a BLL session go back on it.
  void OnSocketReceive(IConnection* pSocket, std::span<const std::uint8_t> data);
  /// The connection is about to be deleted: a session it started ends at once,
  /// and nothing refers to it afterwards.
  void OnSocketClose(IConnection* pSocket);
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
  /// Writes the settings to m_strConfigPath (creating it); the status line and
  /// the log say where, or why it failed.
  void OnSaveConfig();
  /// The port dialog chose a device for COMn: the channel uses it from the next
  /// open, and [Ports] COMn in the configuration file keeps it (reported as a save).
  void MapPortDevice(int nPort, const std::string& device);
  /// Whether a download runs on any line (ending the program would cut it off).
  bool DownloadRunning() const;
  /// Why the serial port is not open, naming its device and where that is set
  /// ("[Ports] COM1=… in <config path>"); "" while it is open or not configured.
  std::string PortExplanation() const;
  /// Download button: writes the trigger frame to the serial channel, always.
  void SendTrigger();
  /// Sessions idle when bEnable and the port is open, else blocked. A running
  /// transfer is ended (file closed, buttons enabled again).
  void SetSessionsEnabled(bool bEnable);
  void EnableControls(bool bEnable) override;
  /// Port status line from the port name, mode and rate.
  void ShowPortStatus();
  /// A closed port is opened again with its current settings (reconnect). On
  /// success sessions blocked by the failure are idle again and the port line
  /// shows the port; a running transfer is left alone. false when it stays closed.
  bool ReopenPort();
  /// [Communication] TCPPACE as loaded (default 500).
  int TcpPaceMs() const { return m_nTcpPace; }
  /// Refreshes the view from the fields.
  void UpdateData(bool bSaveAndValidate) override;

  std::string m_szCurDir;        // current directory at start-up
  std::string m_strPortStatus;   // edit 1000
  std::string m_strRomLocation;  // edit 1001
  std::string m_strConfigPath;   // m_szCurDir + "/Romvale.cfg"
  std::string m_szRomTypes;      // ROM type list (only saved back)
  int m_nChannel = CHANNEL_SERIAL;
  int m_nSocketCount = 0;
  int m_nTcpPace = kDefaultTcpPaceMs;
  LoaderConfig m_Config;  // Romvale.cfg as last loaded (the Linux additions are read from here)
  std::vector<std::string> m_ConfigWarnings;  // values of the last load that were not understood
  std::string m_strConfigError;    // why the last load could not read the file ("" when it did)
  std::string m_strPortReason;     // why the port is not open, for the port line's tooltip
  bool m_bControlsEnabled = true;  // buttons 1005, 3, 1008 (what EnableControls last set)
  std::uint64_t m_nFramesRejected = 0;  // frames answered with a reject frame, every session
  CSerialChannel& m_CommPort;

 protected:
  void ProgressSetRange(int nLower, int nUpper) override;
  void ProgressStepIt() override;
  void ProgressSetPos(int nPos) override;
  void SerialWrite(std::span<const std::uint8_t> frame) override;
  bool ModemMode() const override;
  void ClearModemLink() override;
  void OnSessionStarted() override;
  void OnSessionEnded(SessionEnd why) override;
  void OnFrameRejected() override;

 private:
  /// Dispatch of one trimmed batch (serial: pSocket nullptr).
  void DispatchFrame(IConnection* pSocket, std::span<const std::uint8_t> frame);
  /// The design's single session (serial, or every channel when not concurrent).
  void DispatchSingle(IConnection* pSocket, std::span<const std::uint8_t> frame);
  /// A frame from a connection that has a session of its own (CONCURRENT=1).
  void DispatchOwnSession(IConnection& socket, std::span<const std::uint8_t> frame);
  CTcpSession* FindTcpSession(const IConnection* pSocket) const;
  /// True when the single session runs and the frame's channel may drive it.
  bool IsSessionChannel(const IConnection* pSocket) const;
  void ShowPortFailed();
  /// Status line and log after a write of the configuration file.
  void ReportSave(const std::string& error);
  std::int64_t NowMs() const;
  std::string SerialVia() const;
  void Report(SessionEnd why, const CDownloadSession& session, std::int64_t nStartMs,
              const std::string& strVia);

  // ITcpSessionOwner
  void TcpSessionUpdated(CTcpSession& session) override;
  void TcpSessionProgress(CTcpSession& session) override;
  void TcpSessionStarted(CTcpSession& session) override;
  void TcpSessionEnded(CTcpSession& session, SessionEnd why) override;
  void TcpSessionSerialWrite(std::span<const std::uint8_t> frame) override;
  void TcpSessionFrameRejected() override;

  DownloadHost m_Host;
  bool m_bConfigLoaded = false;  // Romvale.cfg was read: sessions may be enabled
  bool m_bRomSession = false;    // the running single session is a ROM download
  // The channel that started the single session (nullptr: serial); meaningful
  // only while it runs.
  IConnection* m_pSessionOwner = nullptr;
  std::int64_t m_nSessionStartMs = 0;
  std::int64_t m_nLastFrameMs = 0;                          // last frame from the session's channel
  std::vector<std::unique_ptr<CTcpSession>> m_TcpSessions;  // CONCURRENT=1, in accept order
  std::unordered_map<const IConnection*, CTcpSession*> m_TcpSessionOf;  // the same, by connection
  std::array<std::uint8_t, kMaxSocketReceive> m_ReceiveBuf{};           // the receive being trimmed
};

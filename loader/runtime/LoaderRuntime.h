// Tarvix's running loader without any window: the serial channel, the download
// dialog's core, the TCP listener and its connections, wired together on the
// main thread's Qt event loop, with the port's reconnects, the configuration's
// reloads and the diagnostic lines on stderr. The window and the headless
// runner both use it with their own DownloadHost.
#pragma once

#include "comm/ClientSocket.h"
#include "comm/CommPort.h"
#include "comm/ListenSocket.h"
#include "core/DownloadDlg.h"
#include "core/DownloadHost.h"
#include "download/UniqueFd.h"
#include "runtime/PortDiagnosis.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// The core's clock: milliseconds of the monotonic clock since the runtime began.
class CMonotonicClock : public IClock {
 public:
  CMonotonicClock() { m_Timer.start(); }
  std::int64_t NowMs() const override { return m_Timer.elapsed(); }

 private:
  QElapsedTimer m_Timer;
};

class CLoaderRuntime : public QObject,
                       private ICommEvents,
                       private ISocketEvents,
                       private IFolderChooser,
                       private IPortSetDialog,
                       private IDownloadView,
                       private IDownloadLog {
 public:
  /// curDir: the current directory (Romvale.cfg's default folder, and the folder
  /// for empty ROMFILE/BLLFILE); tcpPort: the listener's port, overriding
  /// TCPPORT (0 = any free one; nothing = TCPPORT of Romvale.cfg).
  CLoaderRuntime(DownloadHost host, std::string curDir,
                 std::optional<std::uint16_t> tcpPort = std::nullopt, QObject* pParent = nullptr);
  /// Closes the port (joining its reader), then the connections and the listener.
  ~CLoaderRuntime() override;
  CLoaderRuntime(const CLoaderRuntime&) = delete;
  CLoaderRuntime& operator=(const CLoaderRuntime&) = delete;

  /// Reads the configuration from path instead of curDir/Romvale.cfg (relative
  /// paths from curDir); 설정 저장 writes back to it. Call before Start.
  void SetConfigPath(const std::string& path);
  /// Where the info:/warning: lines go (stderr unless a test says otherwise).
  void SetDiagnostics(std::ostream& diag) noexcept { m_pDiag = &diag; }

  /// Runs OnInitDialog (config, port, status), then creates the listener on
  /// TCPADDRESS:TCPPORT and prints the start-up lines. A listener that cannot be
  /// created is reported on the status line and stderr. A port that cannot be
  /// opened is retried (RECONNECT). Returns OnInitDialog's result (false:
  /// Romvale.cfg missing or unreadable; ConfigError() says why). bNeedConfig:
  /// such a file ends the start there (no listener, no port, no lines).
  bool Start(bool bNeedConfig = false);
  /// SIGHUP: reads the configuration again, logs each change, takes the folders,
  /// pacing and ROM types, and reopens the port only when its settings changed.
  void ReloadConfig();

  CDownloadDlg& Dlg() noexcept { return *m_pDlg; }
  CCommPort& CommPort() noexcept { return m_CommPort; }
  /// The TCP port the listener is bound to, 0 when not listening.
  std::uint16_t TcpPort() const;
  /// Accepted connections still open.
  int ConnectionCount() const noexcept { return static_cast<int>(m_SocketList.size()); }
  /// Why the listener could not be created ("" when it listens).
  const std::string& ListenError() const noexcept { return m_strListenError; }
  /// Whether the TCP listener is up and taking connections.
  bool Listening() const noexcept { return m_pListenSocket != nullptr && m_strListenError.empty(); }
  /// The configuration file's absolute path.
  const std::string& ConfigPath() const noexcept { return m_pDlg->m_strConfigPath; }
  /// Why the configuration could not be read at start-up ("" when it was).
  const std::string& ConfigError() const noexcept { return m_pDlg->m_strConfigError; }
  /// Whether a reconnect attempt is scheduled.
  bool ReconnectPending() const { return m_ReconnectTimer.isActive(); }

 private:
  // Serial reader's hand-offs, on the main thread.
  void OnCommRead() override;
  void OnCommMessage(std::string_view text) override;
  void OnCommFailure() override;
  // Connections, on the main thread.
  void OnSocketReceive(CClientSocket* pSocket, std::span<const std::uint8_t> data) override;
  void OnSocketClosed(CClientSocket* pSocket) override;
  int TcpPaceMs() const override;
  // The modal operations of the host, counted so a reconnect never runs inside one.
  std::optional<std::string> ChooseFolder(std::string_view title,
                                          std::string_view preselected) override;
  std::optional<PortSetting> RunPortSetDlg(int nBaudIndex, int nPort, int nCommType,
                                           const std::string& strModemInit) override;

  // The front end's log, passed on; writes of the configuration file become
  // info:/warning: lines.
  void DownloadEnded(const DownloadReport& report) override;
  void SessionProgress(std::string_view peer, std::string_view file, int nPos, int nMax) override;
  void ConfigSaved(const std::string& path, const std::string& error) override;

  // The view, held back during Start so the first port line means "listening too".
  void UpdateData(bool bSaveAndValidate) override;
  void EnableControls(bool bEnable) override;

  void OnSocketAccept();
  void Listen();
  void PrintConfigLines();
  /// The port is closed after an attempt to open it (or a failure): say why, once
  /// per reason, and schedule the next attempt when RECONNECT allows.
  void OnPortDown(bool bWasOpen);
  void OnPortUp(bool bAgain);
  void OnReconnectTimer();
  /// After a port was opened by any path: refuse it when the reader cannot wake us.
  bool RefuseWithoutWakeUp();
  void CheckPortAfterSettings();
  /// The settings in effect: the last load with the channel's current port choices.
  LoaderConfig CurrentSettings() const;
  std::ostream& Diag() const { return *m_pDiag; }

  CMonotonicClock m_Clock;  // given to the core when the front end brings none
  DownloadHost m_Host;
  QTimer m_SessionTimer;  // the core decides at each tick which sessions timed out
  std::string m_szCurDir;
  std::optional<std::uint16_t> m_nTcpPortOverride;
  std::ostream* m_pDiag;
  CUniqueFd m_WakeFd;          // reader -> main thread wake-ups
  std::string m_strWakeError;  // why there is no wake-up ("" when there is)
  std::unique_ptr<QSocketNotifier> m_pWakeNotifier;
  CCommPort m_CommPort;
  std::unique_ptr<CDownloadDlg> m_pDlg;
  std::unique_ptr<CListenSocket> m_pListenSocket;
  std::vector<std::unique_ptr<CClientSocket>> m_SocketList;
  std::vector<std::unique_ptr<CClientSocket>> m_ClosedSockets;  // deleted on the next turn
  std::string m_strListenError;
  QTimer m_ReconnectTimer;
  CReconnectBackoff m_Backoff;
  std::string m_strShownReason;  // the port failure last reported, so each is said once
  int m_nModalDepth = 0;
  bool m_bHoldView = false;
};

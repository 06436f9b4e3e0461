// Tarvix's running loader without any window: the serial channel, the download
// engine, the TCP listener and its connections, wired together on the
// main thread's Qt event loop, with the port's reconnects, the configuration's
// reloads and the diagnostic lines on stderr. The window and the headless
// runner both use it with their own DownloadHost.
#pragma once

#include "base/UniqueFd.h"
#include "comm/CommPort.h"
#include "core/DownloadEngine.h"
#include "core/DownloadHost.h"
#include "net/ClientSocket.h"
#include "net/ListenSocket.h"
#include "runtime/LinePort.h"
#include "runtime/PortDiagnosis.h"
#include "runtime/ReaderWakeUp.h"

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
class MonotonicClock : public IClock {
 public:
  MonotonicClock() { m_timer.start(); }
  std::int64_t NowMs() const override { return m_timer.elapsed(); }

 private:
  QElapsedTimer m_timer;
};

class LoaderRuntime : public QObject,
                      private ICommEvents,
                      private ISocketEvents,
                      private IFolderChooser,
                      private IPortSetDialog,
                      private IEngineView,
                      private IDownloadLog {
 public:
  /// curDir: the current directory (Romvale.cfg's default folder, and the folder
  /// for empty ROMFILE/BLLFILE); tcpPort: the listener's port, overriding
  /// TCPPORT (0 = any free one; nothing = TCPPORT of Romvale.cfg).
  LoaderRuntime(DownloadHost host, std::string curDir,
                std::optional<std::uint16_t> tcpPort = std::nullopt, QObject* parent = nullptr);
  /// Closes the port (joining its reader), then the connections and the listener.
  ~LoaderRuntime() override;
  LoaderRuntime(const LoaderRuntime&) = delete;
  LoaderRuntime& operator=(const LoaderRuntime&) = delete;

  /// Reads the configuration from path instead of curDir/Romvale.cfg (relative
  /// paths from curDir); 설정 저장 writes back to it. Call before Start.
  void SetConfigPath(const std::string& path);
  /// Where the info:/warning: lines go (stderr unless a test says otherwise).
  void SetDiagnostics(std::ostream& diag) noexcept { m_diag = &diag; }

  /// Starts the engine (config, port, status), then creates the listener on
  /// TCPADDRESS:TCPPORT and prints the start-up lines. A listener that cannot be
  /// created is reported on the status line and stderr. A port that cannot be
  /// opened is retried (RECONNECT). Returns whether the configuration was read (false:
  /// Romvale.cfg missing or unreadable; ConfigError() says why). needConfig:
  /// such a file ends the start there (no listener, no port, no lines).
  bool Start(bool needConfig = false);
  /// SIGHUP: reads the configuration again, logs each change and applies it
  /// (the port is reopened only when its settings changed).
  void ReloadConfig();

  DownloadEngine& Engine() noexcept { return *m_engine; }
  CommPort& SerialPort() noexcept { return m_commPort; }
  /// The TCP port the listener is bound to, 0 when not listening.
  std::uint16_t TcpPort() const;
  /// Accepted connections still open.
  int ConnectionCount() const noexcept { return static_cast<int>(m_socketList.size()); }
  /// Why the listener could not be created ("" when it listens).
  const std::string& ListenError() const noexcept { return m_listenError; }
  /// Whether the TCP listener is up and taking connections.
  bool Listening() const noexcept { return m_listenSocket != nullptr && m_listenError.empty(); }
  /// The configuration file's absolute path.
  const std::string& ConfigPath() const noexcept { return m_engine->ConfigPath(); }
  /// Why the configuration could not be read at start-up ("" when it was).
  const std::string& ConfigError() const noexcept { return m_startLoad.error; }
  /// Whether a reconnect attempt is scheduled.
  bool ReconnectPending() const { return m_reconnectTimer.isActive(); }

 private:
  // Serial reader's hand-offs, on the main thread.
  void OnCommRead() override;
  void OnCommMessage(std::string_view text) override;
  void OnCommFailure() override;
  // Connections, on the main thread.
  void OnSocketReceive(ClientSocket* socket, std::span<const std::uint8_t> data) override;
  void OnSocketClosed(ClientSocket* socket) override;
  int TcpPaceMs() const override;
  // The modal operations of the host, counted so a reconnect never runs inside one.
  std::optional<std::string> ChooseFolder(std::string_view title,
                                          std::string_view preselected) override;
  std::optional<PortSetting> RunPortSetDlg(int baudIndex, int port, int commType,
                                           const std::string& modemInit) override;

  // The front end's log, passed on; writes of the configuration file become
  // info:/warning: lines.
  void DownloadEnded(const DownloadReport& report) override;
  void SessionProgress(std::string_view peer, std::string_view file, int pos, int max) override;
  void LineProgress(std::string_view line, int pos, int max) override;
  void ConfigSaved(const std::string& path, const std::string& error) override;

  // The view, held back during Start so the first port line means "listening too".
  void Show(const EngineSnapshot& snapshot) override;
  void EnableControls(bool enable) override;

  void OnSocketAccept();
  void Listen();
  /// The further lines (PORTS) cfg serves differently or not at all are closed.
  void DropLinePorts(const LoaderConfig& cfg);
  /// The further lines cfg serves and that are not open yet are opened.
  void AddLinePorts(const LoaderConfig& cfg);
  /// The warning lines of a configuration that was read.
  void PrintConfigWarnings(const ConfigLoad& load);
  void PrintConfigLines();
  /// The port is closed after an attempt to open it (or a failure): say why, once
  /// per reason, and schedule the next attempt when RECONNECT allows.
  void OnPortDown(bool wasOpen);
  void OnPortUp(bool again);
  void OnReconnectTimer();
  /// After a port was opened by any path: refuse it when the reader cannot wake us.
  bool RefuseWithoutWakeUp();
  void CheckPortAfterSettings();
  std::ostream& Diag() const { return *m_diag; }

  MonotonicClock m_clock;  // given to the core when the front end brings none
  DownloadHost m_host;
  QTimer m_sessionTimer;  // the core decides at each tick which sessions timed out
  std::string m_currentDir;
  std::optional<std::uint16_t> m_tcpPortOverride;
  std::ostream* m_diag;
  CommPort m_commPort;                   // the PORT line
  std::unique_ptr<ReaderWakeUp> m_wake;  // its reader -> main thread wake-ups
  std::unique_ptr<DownloadEngine> m_engine;
  std::vector<std::unique_ptr<LinePort>> m_linePorts;  // further lines, in PORTS order
  ConfigLoad m_startLoad;                              // the configuration as read at start-up
  std::unique_ptr<ListenSocket> m_listenSocket;
  std::vector<std::unique_ptr<ClientSocket>> m_socketList;
  std::vector<std::unique_ptr<ClientSocket>> m_closedSockets;  // deleted on the next turn
  std::string m_listenError;
  QTimer m_reconnectTimer;
  ReconnectBackoff m_backoff;
  std::string m_shownReason;  // the port failure last reported, so each is said once
  int m_modalDepth = 0;
  bool m_holdView = false;
  bool m_closing = false;  // the destructor runs: the front end hears nothing more
};

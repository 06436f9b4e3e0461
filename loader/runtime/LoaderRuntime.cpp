// Wiring of the loader's channels to the download engine, the port's
// reconnects, the configuration's reloads and the diagnostic lines.
#include "runtime/LoaderRuntime.h"

#include "comm/SocketStartup.h"
#include "config/ConfigReview.h"
#include "config/ConsoleText.h"
#include "runtime/ConfigChanges.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace {
constexpr int kSessionTimerMs = 1000;  // time-outs are whole seconds
// Descriptors the process needs besides its connections: standard streams, the
// listener, the serial port, event loop, image files and a margin.
constexpr std::uint64_t kDescriptorsBesideConnections = 32;
constexpr const char* kTextFewDescriptors1 = "warning: TCPMAXCONN=";
constexpr const char* kTextFewDescriptors2 = " needs more descriptors than the ";
constexpr const char* kTextFewDescriptors3 =
    " this process may open (ulimit -n, LimitNOFILE=); connections beyond that wait in the "
    "backlog until one closes";
}  // namespace

LoaderRuntime::LoaderRuntime(DownloadHost host, std::string curDir,
                             std::optional<std::uint16_t> tcpPort, QObject* parent)
    : QObject(parent),
      m_host(host),
      m_currentDir(std::move(curDir)),
      m_tcpPortOverride(tcpPort),
      m_diag(&std::cerr) {
  // The core asks us for its modal operations; we count them and pass them on.
  DownloadHost coreHost = host;
  if (coreHost.clock == nullptr) coreHost.clock = &m_clock;
  if (host.view != nullptr) coreHost.view = this;
  if (host.folderChooser != nullptr) coreHost.folderChooser = this;
  if (host.portSetDialog != nullptr) coreHost.portSetDialog = this;
  coreHost.log = this;
  m_engine = std::make_unique<DownloadEngine>(m_commPort, coreHost, m_currentDir);
  m_sessionTimer.setInterval(kSessionTimerMs);
  QObject::connect(&m_sessionTimer, &QTimer::timeout, this, [this] { m_engine->OnSessionTimer(); });

  m_wake =
      std::make_unique<ReaderWakeUp>(m_commPort, [this] { m_commPort.DispatchReaderEvent(*this); });
  // A serial line that takes nothing costs a frame and a status line, never a stall.
  m_commPort.SetWriteDropped(
      [this](std::size_t) { m_engine->ShowStatus(CommPort::kWriteDroppedText); });
  m_reconnectTimer.setSingleShot(true);
  QObject::connect(&m_reconnectTimer, &QTimer::timeout, this, [this] { OnReconnectTimer(); });
}

LoaderRuntime::~LoaderRuntime() {
  m_reconnectTimer.stop();
  // The front end may be gone already: the lines' ends are not shown.
  m_holdView = true;
  m_closing = true;
  m_linePorts.clear();  // each leaves the engine, then closes its port
  m_commPort.Close();
  m_commPort.SetWriteDropped({});
  m_wake.reset();
  m_socketList.clear();
  m_closedSockets.clear();
  m_listenSocket.reset();
}

void LoaderRuntime::SetConfigPath(const std::string& path) {
  std::filesystem::path file(path);
  if (file.is_relative()) file = std::filesystem::path(m_currentDir) / file;
  m_engine->SetConfigPath(file.lexically_normal().string());
}

bool LoaderRuntime::Start(bool needConfig) {
  // The listener needs the loaded settings, and whoever watches the port line
  // takes it as "ready": show nothing until both the port and the listener are set.
  m_holdView = true;
  m_startLoad = m_engine->Start();
  const bool init = m_startLoad.loaded;
  if (!init && needConfig && !m_startLoad.error.empty()) {
    m_holdView = false;
    return false;
  }
  PrintConfigLines();
  if (init) AddLinePorts(m_engine->Settings());
  Listen();
  m_holdView = false;
  m_engine->Refresh();
  m_sessionTimer.start();
  // Reported after the engine's start-up, which clears the status line.
  if (!m_listenError.empty()) m_engine->OnListenFailed(m_listenError);
  const LoaderConfig& cfg = m_engine->Settings();
  if (init && !cfg.noSerialPort) {
    if (m_commPort.m_open && !RefuseWithoutWakeUp()) {
      Diag() << "info: serial port " << DescribeSerialPort(cfg) << std::endl;
    } else if (!m_commPort.m_open) {
      OnPortDown(false);
    }
  } else if (init) {
    Diag() << "info: serial port " << DescribeSerialPort(cfg) << std::endl;
  }
  return init;
}

void LoaderRuntime::PrintConfigLines() {
  const std::string& path = ConfigPath();
  if (!m_startLoad.error.empty()) {
    Diag() << "warning: configuration file " << EscapeConsoleText(path)
           << " cannot be read: " << m_startLoad.error << "; using the built-in settings"
           << std::endl;
    return;
  }
  Diag() << "info: configuration file " << EscapeConsoleText(path) << std::endl;
  PrintConfigWarnings(m_startLoad);
}

void LoaderRuntime::PrintConfigWarnings(const ConfigLoad& load) {
  const std::string path = EscapeConsoleText(ConfigPath());
  for (const std::string& warning : load.warnings) {
    Diag() << "warning: " << path << ": " << warning << std::endl;
  }
  for (const std::string& warning : ReviewImageFolders(load.config)) {
    Diag() << "warning: " << path << ": " << warning << std::endl;
  }
}

namespace {
/// address:port as the start-up lines show it ("[::]" for every interface).
std::string ShownAddress(const std::string& address, std::uint16_t port) {
  const std::string host = address.empty()                          ? "[::]"
                           : address.find(':') != std::string::npos ? "[" + address + "]"
                                                                    : address;
  return host + ":" + std::to_string(port);
}
}  // namespace

void LoaderRuntime::Listen() {
  if (m_listenSocket) return;
  const LoaderConfig& cfg = m_engine->Settings();
  if (cfg.noTcp && !m_tcpPortOverride) {
    Diag() << "info: TCP off (TCPPORT=NONE): serial port only" << std::endl;
    return;
  }
  const std::uint16_t port = m_tcpPortOverride.value_or(cfg.tcpPort);
  m_listenSocket = std::make_unique<ListenSocket>([this] { OnSocketAccept(); });
  if (!m_listenSocket->Listen(cfg.tcpAddress, port)) {
    m_listenError = m_listenSocket->ErrorString();
    Diag() << "error: cannot listen on TCP " << ShownAddress(cfg.tcpAddress, port) << ": "
           << m_listenError << std::endl;
    return;
  }
  Diag() << "info: listening on TCP " << ShownAddress(cfg.tcpAddress, TcpPort())
         << (cfg.tcpAddress.empty() ? " (every interface, IPv4 and IPv6)" : "") << std::endl;
  const std::uint64_t descriptors = DescriptorLimit();
  if (descriptors > 0 &&
      static_cast<std::uint64_t>(cfg.tcpMaxConn) + kDescriptorsBesideConnections > descriptors) {
    Diag() << kTextFewDescriptors1 << cfg.tcpMaxConn << kTextFewDescriptors2 << descriptors
           << kTextFewDescriptors3 << std::endl;
  }
}

std::uint16_t LoaderRuntime::TcpPort() const {
  return m_listenSocket ? m_listenSocket->Port() : 0;
}

bool LoaderRuntime::RefuseWithoutWakeUp() {
  if (m_wake->Error().empty() || !m_commPort.m_open) return false;
  m_engine->OnCommFailure();  // closes the port; its line says it failed
  m_engine->SetPortReason(m_wake->Error());
  Diag() << "warning: serial port " << DescribeSerialPort(m_engine->Settings())
         << " refused: " << m_wake->Error() << std::endl;
  return true;
}

void LoaderRuntime::OnPortDown(bool wasOpen) {
  const LoaderConfig& cfg = m_engine->Settings();
  if (m_commPort.m_open || cfg.noSerialPort) return;
  const std::string reason = DescribePortFailure(m_commPort.PortDevice(), wasOpen);
  m_engine->SetPortReason(reason);
  const bool retry = cfg.reconnect && m_wake->Error().empty();
  if (reason != m_shownReason) {
    m_shownReason = reason;
    Diag() << "warning: serial port " << DescribeSerialPort(cfg) << ": " << reason
           << (retry ? "; trying again every 1 to 8 s" : "") << std::endl;
  }
  if (retry && !m_reconnectTimer.isActive()) m_reconnectTimer.start(m_backoff.NextDelayMs());
}

void LoaderRuntime::OnPortUp(bool again) {
  m_reconnectTimer.stop();
  m_backoff.Reset();
  m_shownReason.clear();
  m_engine->SetPortReason({});
  Diag() << "info: serial port " << DescribeSerialPort(m_engine->Settings())
         << (again ? " open again" : " open") << std::endl;
}

void LoaderRuntime::OnReconnectTimer() {
  if (m_engine->Settings().noSerialPort || !m_engine->Settings().reconnect) return;
  if (m_modalDepth > 0) {
    // A dialog holds the sessions; try once it is closed.
    m_reconnectTimer.start(kReconnectFirstMs);
    return;
  }
  if (m_commPort.m_open) return;  // the port settings opened it meanwhile
  if (m_engine->ReopenPort()) {
    if (!RefuseWithoutWakeUp()) OnPortUp(true);
    return;
  }
  OnPortDown(false);
  if (!m_reconnectTimer.isActive()) m_reconnectTimer.start(m_backoff.NextDelayMs());
}

void LoaderRuntime::CheckPortAfterSettings() {
  if (m_commPort.m_open) {
    if (!RefuseWithoutWakeUp()) OnPortUp(false);
    return;
  }
  m_reconnectTimer.stop();
  m_backoff.Reset();
  m_shownReason.clear();  // new settings: their reason is news
  OnPortDown(false);
}

void LoaderRuntime::ReloadConfig() {
  const std::string& path = ConfigPath();
  const LoaderConfig before = m_engine->Settings();
  const ConfigLoad load = m_engine->ReadConfig();
  if (!load.loaded) {
    Diag() << "warning: configuration file " << EscapeConsoleText(path)
           << " cannot be read: " << load.error << "; the settings stay as they were" << std::endl;
    return;
  }
  const LoaderConfig& cfg = load.config;
  PrintConfigWarnings(load);
  const std::vector<std::string> changes = DescribeConfigChanges(before, cfg);
  Diag() << "info: configuration file " << EscapeConsoleText(path) << " reloaded, "
         << (changes.empty() ? "nothing changed" : std::to_string(changes.size()) + " change(s)")
         << std::endl;
  for (const std::string& change : changes) Diag() << "info: reload: " << change << std::endl;
  if (cfg.tcpPort != before.tcpPort || cfg.tcpAddress != before.tcpAddress ||
      cfg.noTcp != before.noTcp) {
    Diag() << "info: reload: the listener stays where it is until Tarvix is restarted" << std::endl;
  }
  if (cfg.metricsPort != before.metricsPort || cfg.metricsAddress != before.metricsAddress) {
    Diag() << "info: reload: the metrics endpoint stays where it is until Tarvix is restarted"
           << std::endl;
  }

  // A line given up goes first: its device may be the new PORT line's.
  DropLinePorts(cfg);
  const PortChange change = m_engine->Apply(cfg);
  AddLinePorts(cfg);
  if (change != PortChange::Kept) {
    // A new line: its reconnects start over with the new settings.
    m_reconnectTimer.stop();
    m_backoff.Reset();
    m_shownReason.clear();
  }
  switch (change) {
    case PortChange::Kept:
      if (!m_commPort.m_open && !cfg.reconnect) m_reconnectTimer.stop();
      if (!m_commPort.m_open && cfg.reconnect && !cfg.noSerialPort) OnPortDown(false);
      return;
    case PortChange::Disabled:
      Diag() << "info: serial port " << DescribeSerialPort(cfg) << std::endl;
      return;
    case PortChange::Opened:
      if (!RefuseWithoutWakeUp()) OnPortUp(false);
      return;
    case PortChange::Failed:
      OnPortDown(false);
      return;
  }
}

namespace {
/// The lines served beside PORT's.
std::vector<SerialLineConfig> FurtherLines(const LoaderConfig& cfg) {
  std::vector<SerialLineConfig> lines = SerialLines(cfg);
  if (!cfg.noSerialPort && !lines.empty()) lines.erase(lines.begin());
  return lines;
}
}  // namespace

void LoaderRuntime::DropLinePorts(const LoaderConfig& cfg) {
  const std::vector<SerialLineConfig> lines = FurtherLines(cfg);
  std::erase_if(m_linePorts, [&](const auto& port) {
    return std::none_of(lines.begin(), lines.end(),
                        [&](const SerialLineConfig& line) { return port->Serves(cfg, line); });
  });
  for (const auto& port : m_linePorts) port->SetReconnect(cfg.reconnect);
}

void LoaderRuntime::AddLinePorts(const LoaderConfig& cfg) {
  for (const SerialLineConfig& line : FurtherLines(cfg)) {
    const bool served = std::any_of(m_linePorts.begin(), m_linePorts.end(),
                                    [&](const auto& port) { return port->Serves(cfg, line); });
    if (served) continue;
    m_linePorts.push_back(
        std::make_unique<LinePort>(*m_engine, cfg, line, m_host.messages, Diag()));
  }
}

void LoaderRuntime::LineProgress(std::string_view line, int pos, int max) {
  if (m_host.log != nullptr && !m_closing) m_host.log->LineProgress(line, pos, max);
}

void LoaderRuntime::DownloadEnded(const DownloadReport& report) {
  if (m_host.log != nullptr && !m_closing) m_host.log->DownloadEnded(report);
}

void LoaderRuntime::SessionProgress(std::string_view peer, std::string_view file, int pos,
                                    int max) {
  if (m_host.log != nullptr) m_host.log->SessionProgress(peer, file, pos, max);
}

void LoaderRuntime::ConfigSaved(const std::string& path, const std::string& error) {
  if (error.empty()) {
    Diag() << "info: configuration saved to " << EscapeConsoleText(path) << std::endl;
  } else {
    Diag() << "warning: configuration file " << EscapeConsoleText(path)
           << " not saved: " << EscapeConsoleText(error) << std::endl;
  }
  if (m_host.log != nullptr) m_host.log->ConfigSaved(path, error);
}

void LoaderRuntime::OnCommRead() {
  m_engine->OnCommRead();
}

void LoaderRuntime::OnCommMessage(std::string_view text) {
  if (m_host.messages != nullptr) m_host.messages->MessageBox(text);
}

void LoaderRuntime::OnCommFailure() {
  m_engine->OnCommFailure();
  OnPortDown(true);
}

std::optional<std::string> LoaderRuntime::ChooseFolder(std::string_view title,
                                                       std::string_view preselected) {
  ++m_modalDepth;
  auto folder = m_host.folderChooser->ChooseFolder(title, preselected);
  --m_modalDepth;
  return folder;
}

std::optional<PortSetting> LoaderRuntime::RunPortSetDlg(int baudIndex, int port, int commType,
                                                        const std::string& modemInit) {
  ++m_modalDepth;
  auto setting = m_host.portSetDialog->RunPortSetDlg(baudIndex, port, commType, modemInit);
  --m_modalDepth;
  // The core opens the chosen port after we return; look at the outcome then.
  if (setting) QTimer::singleShot(0, this, [this] { CheckPortAfterSettings(); });
  return setting;
}

void LoaderRuntime::Show(const EngineSnapshot& snapshot) {
  if (!m_holdView) m_host.view->Show(snapshot);
}

void LoaderRuntime::EnableControls(bool enable) {
  m_host.view->EnableControls(enable);
}

void LoaderRuntime::OnSocketAccept() {
  const LoaderConfig& cfg = m_engine->Settings();
  while (UniqueFd socket = m_listenSocket->Accept()) {
    // Over the cap: accepted (so it leaves the backlog) and closed at once.
    if (ConnectionCount() >= cfg.tcpMaxConn) continue;
    ISocketEvents& events = *this;
    const ConnectionLimits limits{kTcpWriteQueueBytes, cfg.tcpIdleSec};
    m_socketList.push_back(std::make_unique<ClientSocket>(std::move(socket), events, limits));
    m_engine->OnSocketAccept();
  }
}

void LoaderRuntime::OnSocketReceive(ClientSocket* socket, std::span<const std::uint8_t> data) {
  m_engine->OnSocketReceive(socket, data);
}

void LoaderRuntime::OnSocketClosed(ClientSocket* socket) {
  m_engine->OnSocketClose(socket);
  const auto it = std::find_if(m_socketList.begin(), m_socketList.end(),
                               [&](const auto& p) { return p.get() == socket; });
  if (it == m_socketList.end()) return;
  // Not deleted here: we are inside one of its own notifications.
  m_closedSockets.push_back(std::move(*it));
  m_socketList.erase(it);
  QTimer::singleShot(0, this, [this] { m_closedSockets.clear(); });
}

int LoaderRuntime::TcpPaceMs() const {
  return m_engine->TcpPaceMs();
}

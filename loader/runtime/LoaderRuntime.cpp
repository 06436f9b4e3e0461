// Wiring of the loader's channels to the download dialog's core, the port's
// reconnects, the configuration's reloads and the diagnostic lines.
#include "runtime/LoaderRuntime.h"

#include "comm/SocketStartup.h"
#include "config/ConfigReview.h"
#include "config/ConsoleText.h"
#include "runtime/ConfigChanges.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

CLoaderRuntime::CLoaderRuntime(DownloadHost host, std::string curDir,
                               std::optional<std::uint16_t> tcpPort, QObject* pParent)
    : QObject(pParent),
      m_Host(host),
      m_szCurDir(std::move(curDir)),
      m_nTcpPortOverride(tcpPort),
      m_pDiag(&std::cerr) {
  // The core asks us for its modal operations; we count them and pass them on.
  DownloadHost coreHost = host;
  if (coreHost.clock == nullptr) coreHost.clock = &m_Clock;
  if (host.view != nullptr) coreHost.view = this;
  if (host.folderChooser != nullptr) coreHost.folderChooser = this;
  if (host.portSetDialog != nullptr) coreHost.portSetDialog = this;
  coreHost.log = this;
  m_pDlg = std::make_unique<CDownloadDlg>(m_CommPort, coreHost, m_szCurDir);
  m_SessionTimer.setInterval(kSessionTimerMs);
  QObject::connect(&m_SessionTimer, &QTimer::timeout, this, [this] { m_pDlg->OnSessionTimer(); });

  // The reader only bumps an eventfd; the main loop sees it through a socket
  // notifier and handles the hand-off here while the reader waits (Close
  // releases it if needed). The reader never touches a Qt object.
  m_WakeFd.Reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (m_WakeFd.Valid()) {
    m_pWakeNotifier = std::make_unique<QSocketNotifier>(m_WakeFd.Get(), QSocketNotifier::Read);
    QObject::connect(m_pWakeNotifier.get(), &QSocketNotifier::activated, this, [this] {
      std::uint64_t count = 0;
      (void)!::read(m_WakeFd.Get(), &count, sizeof count);
      m_CommPort.DispatchReaderEvent(*this);
    });
    m_CommPort.SetNotify([fd = m_WakeFd.Get()] {
      const std::uint64_t one = 1;
      (void)!::write(fd, &one, sizeof one);
    });
  } else {
    // Without it the reader's first burst would wait for a hand-off nobody sees.
    m_strWakeError = std::string("cannot make the serial reader's wake-up (eventfd: ") +
                     std::strerror(errno) + ")";
  }
  // A serial line that takes nothing costs a frame and a status line, never a stall.
  m_CommPort.SetWriteDropped([this](std::size_t) {
    m_pDlg->m_strStatus = std::string(CCommPort::kWriteDroppedText);
    m_pDlg->UpdateData(false);
  });
  m_ReconnectTimer.setSingleShot(true);
  QObject::connect(&m_ReconnectTimer, &QTimer::timeout, this, [this] { OnReconnectTimer(); });
}

CLoaderRuntime::~CLoaderRuntime() {
  m_ReconnectTimer.stop();
  m_CommPort.Close();
  m_CommPort.SetNotify({});
  m_CommPort.SetWriteDropped({});
  m_pWakeNotifier.reset();
  m_SocketList.clear();
  m_ClosedSockets.clear();
  m_pListenSocket.reset();
}

void CLoaderRuntime::SetConfigPath(const std::string& path) {
  std::filesystem::path file(path);
  if (file.is_relative()) file = std::filesystem::path(m_szCurDir) / file;
  m_pDlg->m_strConfigPath = file.lexically_normal().string();
}

bool CLoaderRuntime::Start(bool bNeedConfig) {
  // The listener needs the loaded settings, and whoever watches the port line
  // takes it as "ready": show nothing until both the port and the listener are set.
  m_bHoldView = true;
  const bool bInit = m_pDlg->OnInitDialog();
  if (!bInit && bNeedConfig && !m_pDlg->m_strConfigError.empty()) {
    m_bHoldView = false;
    return false;
  }
  PrintConfigLines();
  Listen();
  m_bHoldView = false;
  m_pDlg->UpdateData(false);
  m_SessionTimer.start();
  // Reported after the dialog's start-up, which clears the status line.
  if (!m_strListenError.empty()) m_pDlg->OnListenFailed(m_strListenError);
  if (bInit && !m_pDlg->m_Config.m_bNoSerialPort) {
    if (m_CommPort.m_bOpen && !RefuseWithoutWakeUp()) {
      Diag() << "info: serial port " << DescribeSerialPort(CurrentSettings()) << std::endl;
    } else if (!m_CommPort.m_bOpen) {
      OnPortDown(false);
    }
  } else if (bInit) {
    Diag() << "info: serial port " << DescribeSerialPort(CurrentSettings()) << std::endl;
  }
  return bInit;
}

void CLoaderRuntime::PrintConfigLines() {
  const std::string& path = ConfigPath();
  if (!m_pDlg->m_strConfigError.empty()) {
    Diag() << "warning: configuration file " << EscapeConsoleText(path)
           << " cannot be read: " << m_pDlg->m_strConfigError << "; using the built-in settings"
           << std::endl;
    return;
  }
  Diag() << "info: configuration file " << EscapeConsoleText(path) << std::endl;
  for (const std::string& warning : m_pDlg->m_ConfigWarnings) {
    Diag() << "warning: " << EscapeConsoleText(path) << ": " << warning << std::endl;
  }
  for (const std::string& warning : ReviewImageFolders(m_pDlg->m_Config)) {
    Diag() << "warning: " << EscapeConsoleText(path) << ": " << warning << std::endl;
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

void CLoaderRuntime::Listen() {
  if (m_pListenSocket) return;
  const LoaderConfig& cfg = m_pDlg->m_Config;
  if (cfg.m_bNoTcp && !m_nTcpPortOverride) {
    Diag() << "info: TCP off (TCPPORT=NONE): serial port only" << std::endl;
    return;
  }
  const std::uint16_t port = m_nTcpPortOverride.value_or(cfg.m_nTcpPort);
  m_pListenSocket = std::make_unique<CListenSocket>([this] { OnSocketAccept(); });
  if (!m_pListenSocket->Listen(cfg.m_strTcpAddress, port)) {
    m_strListenError = m_pListenSocket->ErrorString();
    Diag() << "error: cannot listen on TCP " << ShownAddress(cfg.m_strTcpAddress, port) << ": "
           << m_strListenError << std::endl;
    return;
  }
  Diag() << "info: listening on TCP " << ShownAddress(cfg.m_strTcpAddress, TcpPort())
         << (cfg.m_strTcpAddress.empty() ? " (every interface, IPv4 and IPv6)" : "") << std::endl;
  const std::uint64_t descriptors = DescriptorLimit();
  if (descriptors > 0 &&
      static_cast<std::uint64_t>(cfg.m_nTcpMaxConn) + kDescriptorsBesideConnections > descriptors) {
    Diag() << kTextFewDescriptors1 << cfg.m_nTcpMaxConn << kTextFewDescriptors2 << descriptors
           << kTextFewDescriptors3 << std::endl;
  }
}

std::uint16_t CLoaderRuntime::TcpPort() const {
  return m_pListenSocket ? m_pListenSocket->Port() : 0;
}

LoaderConfig CLoaderRuntime::CurrentSettings() const {
  LoaderConfig cfg = m_pDlg->m_Config;
  cfg.m_strRomDir = m_pDlg->m_strRomDir;
  cfg.m_strBllDir = m_pDlg->m_strBllDir;
  cfg.m_szRomTypes = m_pDlg->m_szRomTypes;
  cfg.m_nTcpPace = m_pDlg->m_nTcpPace;
  cfg.m_nPort = m_CommPort.m_nPort;
  cfg.m_nCommType = m_CommPort.m_nCommType;
  cfg.m_nBaudIndex = m_CommPort.m_nBaudIndex;
  cfg.m_strModemInit = m_CommPort.m_strModemInit;
  cfg.m_PortDevices = m_CommPort.m_PortDevices;
  return cfg;
}

bool CLoaderRuntime::RefuseWithoutWakeUp() {
  if (m_strWakeError.empty() || !m_CommPort.m_bOpen) return false;
  m_pDlg->OnCommFailure();  // closes the port; its line says it failed
  m_pDlg->m_strPortReason = m_strWakeError;
  m_pDlg->UpdateData(false);
  Diag() << "warning: serial port " << DescribeSerialPort(CurrentSettings())
         << " refused: " << m_strWakeError << std::endl;
  return true;
}

void CLoaderRuntime::OnPortDown(bool bWasOpen) {
  if (m_CommPort.m_bOpen || m_pDlg->m_Config.m_bNoSerialPort) return;
  const LoaderConfig cfg = CurrentSettings();
  const std::string reason = DescribePortFailure(m_CommPort.PortDevice(), bWasOpen);
  m_pDlg->m_strPortReason = reason;
  m_pDlg->UpdateData(false);
  const bool bRetry = cfg.m_bReconnect && m_strWakeError.empty();
  if (reason != m_strShownReason) {
    m_strShownReason = reason;
    Diag() << "warning: serial port " << DescribeSerialPort(cfg) << ": " << reason
           << (bRetry ? "; trying again every 1 to 8 s" : "") << std::endl;
  }
  if (bRetry && !m_ReconnectTimer.isActive()) m_ReconnectTimer.start(m_Backoff.NextDelayMs());
}

void CLoaderRuntime::OnPortUp(bool bAgain) {
  m_ReconnectTimer.stop();
  m_Backoff.Reset();
  m_strShownReason.clear();
  m_pDlg->m_strPortReason.clear();
  m_pDlg->UpdateData(false);
  Diag() << "info: serial port " << DescribeSerialPort(CurrentSettings())
         << (bAgain ? " open again" : " open") << std::endl;
}

void CLoaderRuntime::OnReconnectTimer() {
  if (m_pDlg->m_Config.m_bNoSerialPort || !m_pDlg->m_Config.m_bReconnect) return;
  if (m_nModalDepth > 0) {
    // A dialog holds the sessions; try once it is closed.
    m_ReconnectTimer.start(kReconnectFirstMs);
    return;
  }
  if (m_CommPort.m_bOpen) return;  // the port settings opened it meanwhile
  if (m_pDlg->ReopenPort()) {
    if (!RefuseWithoutWakeUp()) OnPortUp(true);
    return;
  }
  OnPortDown(false);
  if (!m_ReconnectTimer.isActive()) m_ReconnectTimer.start(m_Backoff.NextDelayMs());
}

void CLoaderRuntime::CheckPortAfterSettings() {
  if (m_CommPort.m_bOpen) {
    if (!RefuseWithoutWakeUp()) OnPortUp(false);
    return;
  }
  m_ReconnectTimer.stop();
  m_Backoff.Reset();
  m_strShownReason.clear();  // new settings: their reason is news
  OnPortDown(false);
}

void CLoaderRuntime::ReloadConfig() {
  const std::string& path = ConfigPath();
  const LoaderConfig before = CurrentSettings();
  LoaderConfig cfg = before;
  std::vector<std::string> warnings;
  std::string error;
  if (!LoadLoaderConfig(path, m_szCurDir, cfg, warnings, error)) {
    Diag() << "warning: configuration file " << EscapeConsoleText(path)
           << " cannot be read: " << error << "; the settings stay as they were" << std::endl;
    return;
  }
  for (const std::string& warning : warnings) {
    Diag() << "warning: " << EscapeConsoleText(path) << ": " << warning << std::endl;
  }
  for (const std::string& warning : ReviewImageFolders(cfg)) {
    Diag() << "warning: " << EscapeConsoleText(path) << ": " << warning << std::endl;
  }
  const std::vector<std::string> changes = DescribeConfigChanges(before, cfg);
  Diag() << "info: configuration file " << EscapeConsoleText(path) << " reloaded, "
         << (changes.empty() ? "nothing changed" : std::to_string(changes.size()) + " change(s)")
         << std::endl;
  for (const std::string& change : changes) Diag() << "info: reload: " << change << std::endl;
  if (cfg.m_nTcpPort != before.m_nTcpPort || cfg.m_strTcpAddress != before.m_strTcpAddress ||
      cfg.m_bNoTcp != before.m_bNoTcp) {
    Diag() << "info: reload: the listener stays where it is until Tarvix is restarted" << std::endl;
  }
  if (cfg.m_nMetricsPort != before.m_nMetricsPort ||
      cfg.m_strMetricsAddress != before.m_strMetricsAddress) {
    Diag() << "info: reload: the metrics endpoint stays where it is until Tarvix is restarted"
           << std::endl;
  }

  CDownloadDlg& dlg = *m_pDlg;
  const bool bSerial = SerialSettingsDiffer(before, cfg);
  dlg.m_Config = cfg;
  dlg.m_strRomDir = cfg.m_strRomDir;
  dlg.m_strBllDir = cfg.m_strBllDir;
  dlg.m_strRomLocation = cfg.m_strRomDir;
  dlg.m_szRomTypes = cfg.m_szRomTypes;
  dlg.m_nTcpPace = cfg.m_nTcpPace;
  if (!bSerial) {
    dlg.UpdateData(false);
    if (!m_CommPort.m_bOpen && !cfg.m_bReconnect) m_ReconnectTimer.stop();
    if (!m_CommPort.m_bOpen && cfg.m_bReconnect && !cfg.m_bNoSerialPort) OnPortDown(false);
    return;
  }
  // The line changes: whatever ran on it ends, as with the port settings.
  m_ReconnectTimer.stop();
  m_Backoff.Reset();
  m_strShownReason.clear();
  dlg.SetSessionsEnabled(false);
  m_CommPort.Close();
  m_CommPort.m_nPort = cfg.m_nPort;
  m_CommPort.m_nCommType = cfg.m_nCommType;
  m_CommPort.m_nBaudIndex = cfg.m_nBaudIndex;
  m_CommPort.m_strModemInit = cfg.m_strModemInit;
  m_CommPort.m_PortDevices = cfg.m_PortDevices;
  m_CommPort.m_bFrameDispatch = cfg.m_bFrameDispatch;
  m_CommPort.m_nFrameWaitMs = cfg.m_nFrameWaitMs;
  if (cfg.m_bNoSerialPort) {
    dlg.m_strPortReason.clear();
    dlg.m_strPortStatus = kTextNoSerialPort;
    dlg.SetSessionsEnabled(true);
    dlg.UpdateData(false);
    Diag() << "info: serial port " << DescribeSerialPort(cfg) << std::endl;
    return;
  }
  if (dlg.ReopenPort()) {
    if (!RefuseWithoutWakeUp()) OnPortUp(false);
    return;
  }
  dlg.OnCommFailure();  // port line: the port failed
  OnPortDown(false);
}

void CLoaderRuntime::DownloadEnded(const DownloadReport& report) {
  if (m_Host.log != nullptr) m_Host.log->DownloadEnded(report);
}

void CLoaderRuntime::SessionProgress(std::string_view peer, std::string_view file, int nPos,
                                     int nMax) {
  if (m_Host.log != nullptr) m_Host.log->SessionProgress(peer, file, nPos, nMax);
}

void CLoaderRuntime::ConfigSaved(const std::string& path, const std::string& error) {
  if (error.empty()) {
    Diag() << "info: configuration saved to " << EscapeConsoleText(path) << std::endl;
  } else {
    Diag() << "warning: configuration file " << EscapeConsoleText(path)
           << " not saved: " << EscapeConsoleText(error) << std::endl;
  }
  if (m_Host.log != nullptr) m_Host.log->ConfigSaved(path, error);
}

void CLoaderRuntime::OnCommRead() {
  m_pDlg->OnCommRead();
}

void CLoaderRuntime::OnCommMessage(std::string_view text) {
  if (m_Host.messages != nullptr) m_Host.messages->MessageBox(text);
}

void CLoaderRuntime::OnCommFailure() {
  m_pDlg->OnCommFailure();
  OnPortDown(true);
}

std::optional<std::string> CLoaderRuntime::ChooseFolder(std::string_view title,
                                                        std::string_view preselected) {
  ++m_nModalDepth;
  auto folder = m_Host.folderChooser->ChooseFolder(title, preselected);
  --m_nModalDepth;
  return folder;
}

std::optional<PortSetting> CLoaderRuntime::RunPortSetDlg(int nBaudIndex, int nPort, int nCommType,
                                                         const std::string& strModemInit) {
  ++m_nModalDepth;
  auto setting = m_Host.portSetDialog->RunPortSetDlg(nBaudIndex, nPort, nCommType, strModemInit);
  --m_nModalDepth;
  // The core opens the chosen port after we return; look at the outcome then.
  if (setting) QTimer::singleShot(0, this, [this] { CheckPortAfterSettings(); });
  return setting;
}

void CLoaderRuntime::UpdateData(bool bSaveAndValidate) {
  if (!m_bHoldView) m_Host.view->UpdateData(bSaveAndValidate);
}

void CLoaderRuntime::EnableControls(bool bEnable) {
  m_Host.view->EnableControls(bEnable);
}

void CLoaderRuntime::OnSocketAccept() {
  const LoaderConfig& cfg = m_pDlg->m_Config;
  while (CUniqueFd socket = m_pListenSocket->Accept()) {
    // Over the cap: accepted (so it leaves the backlog) and closed at once.
    if (ConnectionCount() >= cfg.m_nTcpMaxConn) continue;
    ISocketEvents& events = *this;
    const ConnectionLimits limits{kTcpWriteQueueBytes, cfg.m_nTcpIdleSec};
    m_SocketList.push_back(std::make_unique<CClientSocket>(std::move(socket), events, limits));
    m_pDlg->OnSocketAccept(ConnectionCount());
  }
}

void CLoaderRuntime::OnSocketReceive(CClientSocket* pSocket, std::span<const std::uint8_t> data) {
  m_pDlg->OnSocketReceive(pSocket, data);
}

void CLoaderRuntime::OnSocketClosed(CClientSocket* pSocket) {
  m_pDlg->OnSocketClose(pSocket);
  const auto it = std::find_if(m_SocketList.begin(), m_SocketList.end(),
                               [&](const auto& p) { return p.get() == pSocket; });
  if (it == m_SocketList.end()) return;
  // Not deleted here: we are inside one of its own notifications.
  m_ClosedSockets.push_back(std::move(*it));
  m_SocketList.erase(it);
  m_pDlg->m_nSocketCount = ConnectionCount();
  QTimer::singleShot(0, this, [this] { m_ClosedSockets.clear(); });
}

int CLoaderRuntime::TcpPaceMs() const {
  return m_pDlg->TcpPaceMs();
}

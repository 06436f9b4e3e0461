// The main dialog's core: start-up, receive dispatch and the window's commands.
#include "core/DownloadEngine.h"

#include "config/LoaderConfig.h"
#include "download/FileSelector.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {
// BLL replies go back on the channel that delivered the frame being answered.
class SerialSink : public IFrameSink {
 public:
  explicit SerialSink(SerialChannel& port) : m_port(port) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_port.Write(frame); }

 private:
  SerialChannel& m_port;
};

class ConnectionSink : public IFrameSink {
 public:
  explicit ConnectionSink(IConnection& connection) : m_connection(connection) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_connection.Send(frame); }

 private:
  IConnection& m_connection;
};
}  // namespace

DownloadEngine::DownloadEngine(SerialChannel& commPort, DownloadHost host, std::string curDir)
    : m_currentDir(std::move(curDir)), m_commPort(commPort), m_host(host) {
  m_configPath = m_currentDir + "/" + std::string(kConfigFileName);
}

DownloadEngine::~DownloadEngine() = default;

bool DownloadEngine::OnInitDialog() {
  LoaderConfig cfg;
  // Unrecognised PORT/BAUD values keep what the channel holds now.
  cfg.m_port = m_commPort.m_port;
  cfg.m_commType = m_commPort.m_commType;
  cfg.m_baudIndex = m_commPort.m_baudIndex;
  cfg.m_portDevices = m_commPort.m_portDevices;
  m_configWarnings.clear();
  m_configError.clear();
  if (!LoadLoaderConfig(m_configPath, m_currentDir, cfg, m_configWarnings, m_configError)) {
    if (m_host.messages != nullptr) m_host.messages->MessageBox(kTextConfigMissing);
    return false;
  }
  m_config = cfg;
  m_configLoaded = true;
  m_romDir = cfg.m_romDir;
  m_bllDir = cfg.m_bllDir;
  m_romTypes = cfg.m_romTypes;
  m_tcpPace = cfg.m_tcpPace;
  m_commPort.m_port = cfg.m_port;
  m_commPort.m_commType = cfg.m_commType;
  m_commPort.m_baudIndex = cfg.m_baudIndex;
  m_commPort.m_modemInit = cfg.m_modemInit;
  m_commPort.m_portDevices = cfg.m_portDevices;
  m_commPort.m_frameDispatch = cfg.m_frameDispatch;
  m_commPort.m_frameWaitMs = cfg.m_frameWaitMs;

  m_romState = kStateIdle;
  m_bllState = kStateIdle;
  m_romFd.Reset();
  m_bllFd.Reset();
  m_romLocation = m_romDir;

  if (cfg.m_noSerialPort) {
    // TCP only: no device is opened, and nothing waits for one.
    m_commPort.Close();
    m_portStatus = kTextNoSerialPort;
  } else {
    m_commPort.Open();
    if (m_commPort.m_open) {
      ShowPortStatus();
    } else {
      m_portStatus = m_commPort.m_portName + kTextPortError;
    }
  }
  m_status.clear();
  UpdateData(false);
  if (m_host.progress != nullptr) m_host.progress->SetStep(1);
  return true;
}

void DownloadEngine::OnCommRead() {
  m_channel = kChannelSerial;
  std::vector<std::uint8_t> buf;
  buf.reserve(static_cast<std::size_t>(m_commPort.m_readQueue.GetCount()));
  for (int n = m_commPort.m_readQueue.GetCount(); n > 0; --n) {
    std::uint8_t b = 0;
    if (!m_commPort.m_readQueue.Get(&b)) break;
    buf.push_back(b);
  }
  if (buf.empty()) return;

  if (m_commPort.m_commType == kCommModem && !m_commPort.m_connected) {
    // Modem text up to its first zero byte goes to the status line.
    const auto zero = std::find(buf.begin(), buf.end(), std::uint8_t{0});
    m_status.assign(buf.begin(), zero);
    m_commPort.ModemResponse(buf);
    UpdateData(false);
    return;
  }
  const std::size_t len = FindFrameStart(buf);
  if (len == 0 || !m_commPort.m_open) return;
  DispatchFrame(nullptr, std::span<const std::uint8_t>(buf.data(), len));
}

void DownloadEngine::OnSocketReceive(IConnection* socket, std::span<const std::uint8_t> data) {
  // A buffer of our own (trimming moves bytes), kept from receive to receive.
  const std::size_t size = std::min(data.size(), kMaxSocketReceive);
  std::copy_n(data.begin(), size, m_receiveBuf.begin());
  const std::size_t len = FindFrameStart(std::span<std::uint8_t>(m_receiveBuf.data(), size));
  // TCP is served whatever the serial port's state: only ROM replies need it.
  if (len == 0) return;
  DispatchFrame(socket, std::span<const std::uint8_t>(m_receiveBuf.data(), len));
}

bool DownloadEngine::IsSessionChannel(const IConnection* socket) const {
  if (m_romState > kStateIdle) {
    // ROM replies go to the serial port, so its terminal may answer there too.
    return socket == m_sessionOwner || socket == nullptr;
  }
  return m_bllState > kStateIdle && socket == m_sessionOwner;
}

void DownloadEngine::DispatchFrame(IConnection* socket, std::span<const std::uint8_t> frame) {
  if (m_config.m_concurrent && socket != nullptr &&
      !(TransferRunning() && m_sessionOwner == socket)) {
    DispatchOwnSession(*socket, frame);
  } else {
    DispatchSingle(socket, frame);
  }
}

void DownloadEngine::DispatchSingle(IConnection* socket, std::span<const std::uint8_t> frame) {
  SerialSink serial(m_commPort);
  std::optional<ConnectionSink> connection;
  if (socket != nullptr) connection.emplace(*socket);
  IFrameSink& reply = connection ? static_cast<IFrameSink&>(*connection) : serial;

  if (TransferRunning()) {
    // A session belongs to the channel that started it: another channel's
    // frame gets no reply and leaves it (and the window) untouched.
    if (!IsSessionChannel(socket)) return;
    m_lastFrameMs = NowMs();
    if (m_romState > kStateIdle) {
      ContinueRomSession(frame);
    } else {
      ContinueBllSession(reply, frame);
    }
  } else if (m_romState != kStateIdle || m_bllState != kStateIdle) {
    // Blocked (a modal command runs): the frame is dropped.
  } else if (ByteAt(frame, 0) == kRomStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!m_commPort.m_open) {
      // Only a TCP request gets here: its replies would need the serial port.
      const auto name = LrcMatches(frame) ? RomRequestName(frame) : std::nullopt;
      m_status = kStatusRomNeedsSerial + name.value_or(std::string());
    } else {
      m_sessionOwner = socket;
      m_romSession = true;
      StartRomSession(frame);
    }
  } else if (ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!IsBllRequest(frame)) return;  // dropped without a refresh
    m_sessionOwner = socket;
    m_romSession = false;
    StartBllSession(reply, frame);
  }
  UpdateData(false);
}

void DownloadEngine::DispatchOwnSession(IConnection& socket, std::span<const std::uint8_t> frame) {
  TcpSession* session = FindTcpSession(&socket);
  const bool running = session != nullptr && session->TransferRunning();
  const bool idle = m_romState == kStateIdle && m_bllState == kStateIdle;
  if (m_romState == kStateBlocked || m_bllState == kStateBlocked) {
    // A modal command holds TCP sessions back as it holds back the serial one.
    UpdateData(false);
    return;
  }
  if (!running && ByteAt(frame, 0) == kRomStart && ByteAt(frame, 1) == kCmdRequest) {
    // ROM downloads keep the single session: their replies need the serial port.
    if (idle) DispatchSingle(&socket, frame);
    return;  // while it runs for another channel, the request is held back
  }
  if (!running && !(ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest)) {
    UpdateData(false);
    return;
  }
  if (session == nullptr) {
    ITcpSessionOwner& owner = *this;
    m_tcpSessions.push_back(std::make_unique<TcpSession>(owner, socket, m_bllDir));
    session = m_tcpSessions.back().get();
    m_tcpSessionOf[&socket] = session;
  }
  if (session->m_bllDir != m_bllDir) session->m_bllDir = m_bllDir;
  // The status line is one field, as in the single session: a refresh before
  // the session sets its own text shows what the line holds now.
  if (!TransferRunning()) session->m_status = m_status;
  session->m_lastFrameMs = NowMs();
  session->OnFrame(frame);
}

TcpSession* DownloadEngine::FindTcpSession(const IConnection* socket) const {
  // Looked up for every frame: a thousand connections must not cost a thousand compares.
  const auto it = m_tcpSessionOf.find(socket);
  return it == m_tcpSessionOf.end() ? nullptr : it->second;
}

void DownloadEngine::OnCommFailure() {
  // ROM replies and a serial terminal's BLL replies can go nowhere now; a BLL
  // session of a TCP connection goes on.
  if (m_romState > kStateIdle || (m_bllState > kStateIdle && m_sessionOwner == nullptr)) {
    FinishTransfer(SessionEnd::PortFailed);
  }
  m_commPort.Close();
  ShowPortFailed();
  UpdateData(false);
}

void DownloadEngine::OnSocketAccept(int socketCount) {
  m_socketCount = socketCount;
  m_channel = kChannelTcp;
  m_status = kTextTcpAccepted;
  UpdateData(false);
}

void DownloadEngine::OnSocketClose(IConnection* socket) {
  if (socket == nullptr) return;
  // Its terminal is gone: a session it started ends now instead of blocking
  // every later download.
  if (TransferRunning() && m_sessionOwner == socket) {
    FinishTransfer(SessionEnd::ConnectionClosed);
    UpdateData(false);
  }
  if (m_sessionOwner == socket) m_sessionOwner = nullptr;
  const auto it = std::find_if(m_tcpSessions.begin(), m_tcpSessions.end(),
                               [&](const auto& p) { return &p->Connection() == socket; });
  if (it == m_tcpSessions.end()) return;
  (*it)->End(SessionEnd::ConnectionClosed);
  m_tcpSessionOf.erase(socket);
  m_tcpSessions.erase(it);  // closes its file
}

void DownloadEngine::OnSessionTimer() {
  if (m_config.m_sessionTimeoutSec <= 0) return;
  const std::int64_t limit = std::int64_t{m_config.m_sessionTimeoutSec} * 1000;
  const std::int64_t now = NowMs();
  if (TransferRunning() && now - m_lastFrameMs >= limit) {
    m_status = kStatusTimedOut + m_fileName;
    FinishTransfer(SessionEnd::TimedOut);
    UpdateData(false);
  }
  for (const auto& session : m_tcpSessions) {
    if (session->TransferRunning() && now - session->m_lastFrameMs >= limit) {
      session->End(SessionEnd::TimedOut, kStatusTimedOut + session->m_fileName);
    }
  }
}

std::vector<TcpSessionInfo> DownloadEngine::TcpSessions() const {
  std::vector<TcpSessionInfo> list;
  for (const auto& session : m_tcpSessions) {
    if (!session->TransferRunning()) continue;
    const int count = session->m_packetCount;
    const int percent =
        count > 0 ? static_cast<int>(std::int64_t{session->m_packetNo} * 100 / count) : 100;
    list.push_back({session->Connection().PeerName(), session->m_fileName, percent});
  }
  return list;
}

void DownloadEngine::OnListenFailed(std::string_view reason) {
  m_status = kTextListenError + std::string(reason);
  UpdateData(false);
}

void DownloadEngine::OnPortSettings() {
  if (m_host.portSetDialog == nullptr) return;
  const auto setting = m_host.portSetDialog->RunPortSetDlg(
      m_commPort.m_baudIndex, m_commPort.m_port, m_commPort.m_commType, m_commPort.m_modemInit);
  if (!setting) return;
  m_config.m_noSerialPort = false;  // a chosen port ends TCP-only mode
  SetSessionsEnabled(false);
  // Close joins the reader, so the old reader is gone before Open starts a new
  // one; no pause is needed between them.
  m_commPort.Close();
  m_commPort.m_port = setting->port;
  m_commPort.m_commType = setting->commType;
  m_commPort.m_baudIndex = setting->baudIndex;
  if (setting->modemInit) m_commPort.m_modemInit = *setting->modemInit;
  m_commPort.Open();
  SetSessionsEnabled(true);
  if (m_commPort.m_open) {
    ShowPortStatus();
  } else {
    ShowPortFailed();
  }
  UpdateData(false);
}

void DownloadEngine::OnRomLocation() {
  SetSessionsEnabled(false);
  if (m_host.folderChooser != nullptr) {
    const auto folder = m_host.folderChooser->ChooseFolder(kTextRomLocationTitle, m_romDir);
    if (folder) {
      m_romDir = *folder;
      m_romLocation = *folder;
      UpdateData(false);
    }
  }
  SetSessionsEnabled(true);
}

void DownloadEngine::OnSaveConfig() {
  LoaderConfig cfg;
  cfg.m_romDir = m_romDir;
  cfg.m_bllDir = m_bllDir;
  cfg.m_port = m_commPort.m_port;
  cfg.m_commType = m_commPort.m_commType;
  cfg.m_baudIndex = m_commPort.m_baudIndex;
  cfg.m_modemInit = m_commPort.m_modemInit;
  cfg.m_romTypes = m_romTypes;
  cfg.m_portDevices = m_commPort.m_portDevices;
  cfg.m_tcpPace = m_tcpPace;
  cfg.m_noSerialPort = m_config.m_noSerialPort;
  std::string error;
  SaveLoaderConfig(m_configPath, cfg, error);
  ReportSave(error);
  UpdateData(false);
}

void DownloadEngine::MapPortDevice(int port, const std::string& device) {
  if (port < 1 || port > static_cast<int>(m_commPort.m_portDevices.size())) return;
  const auto index = static_cast<std::size_t>(port - 1);
  m_commPort.m_portDevices[index] = device;
  m_config.m_portDevices[index] = device;
  std::string error;
  SavePortMapping(m_configPath, port, device, error);
  ReportSave(error);
  UpdateData(false);
}

void DownloadEngine::ReportSave(const std::string& error) {
  m_status = error.empty() ? kStatusConfigSaved + m_configPath
                           : kStatusConfigNotSaved + m_configPath + ": " + error;
  if (m_host.log != nullptr) m_host.log->ConfigSaved(m_configPath, error);
}

bool DownloadEngine::DownloadRunning() const {
  return TransferRunning() ||
         std::any_of(m_tcpSessions.begin(), m_tcpSessions.end(),
                     [](const auto& session) { return session->TransferRunning(); });
}

std::string DownloadEngine::PortExplanation() const {
  if (m_commPort.m_open || m_config.m_noSerialPort) return {};
  const std::string& device = m_commPort.PortDevice();
  const std::string& name = m_commPort.m_portName;
  return name + " = " + device + ": " + (m_portReason.empty() ? kPortNotOpen : m_portReason) +
         "\n[Ports] " + name + "=" + device + " in " + m_configPath;
}

void DownloadEngine::SendTrigger() {
  m_commPort.Write(TriggerFrame());
}

void DownloadEngine::SetSessionsEnabled(bool enable) {
  // A transfer cut off here is ended, so its file is closed and the buttons it
  // disabled come back.
  AbandonTransfer();
  // TCP terminals are served whatever the serial port's state (serial bytes
  // are dropped anyway while it is closed); only a missing Romvale.cfg keeps
  // everything blocked.
  const int state = enable && m_configLoaded ? kStateIdle : kStateBlocked;
  m_romState = state;
  m_bllState = state;
}

void DownloadEngine::EnableControls(bool enable) {
  m_controlsEnabled = enable;
  if (m_host.view != nullptr) m_host.view->EnableControls(enable);
}

void DownloadEngine::ShowPortStatus() {
  const char* mode = m_commPort.m_commType == kCommModem ? " : Modem : " : " : Serial : ";
  m_portStatus =
      " " + m_commPort.m_portName + mode + std::to_string(m_commPort.m_baudRate) + "bps ";
}

bool DownloadEngine::ReopenPort() {
  m_commPort.Open();
  if (!m_commPort.m_open) return false;
  if (m_romState == kStateBlocked) m_romState = kStateIdle;
  if (m_bllState == kStateBlocked) m_bllState = kStateIdle;
  m_portReason.clear();
  ShowPortStatus();
  UpdateData(false);
  return true;
}

void DownloadEngine::ShowPortFailed() {
  // The sessions stay as they are: TCP does not need the serial port.
  m_portStatus = m_commPort.m_portName + kTextPortError;
}

void DownloadEngine::UpdateData(bool saveAndValidate) {
  if (m_host.view != nullptr) m_host.view->UpdateData(saveAndValidate);
}

void DownloadEngine::ProgressSetRange(int lower, int upper) {
  if (m_host.progress != nullptr) m_host.progress->SetRange(lower, upper);
}

void DownloadEngine::ProgressStepIt() {
  if (m_host.progress != nullptr) m_host.progress->StepIt();
}

void DownloadEngine::ProgressSetPos(int pos) {
  if (m_host.progress != nullptr) m_host.progress->SetPos(pos);
}

void DownloadEngine::SerialWrite(std::span<const std::uint8_t> frame) {
  m_commPort.Write(frame);
}

bool DownloadEngine::ModemMode() const {
  return m_commPort.m_commType == kCommModem;
}

void DownloadEngine::ClearModemLink() {
  m_commPort.m_connected = false;
}

std::int64_t DownloadEngine::NowMs() const {
  return m_host.clock != nullptr ? m_host.clock->NowMs() : 0;
}

std::string DownloadEngine::SerialVia() const {
  return "serial " + m_commPort.m_portName;
}

void DownloadEngine::OnSessionStarted() {
  m_romSession = m_romState > kStateIdle;
  m_sessionStartMs = NowMs();
  m_lastFrameMs = m_sessionStartMs;
}

void DownloadEngine::OnSessionEnded(SessionEnd why) {
  // A ROM image always travels on the serial line, whoever asked for it.
  const std::string via =
      m_romSession || m_sessionOwner == nullptr ? SerialVia() : "tcp " + m_sessionOwner->PeerName();
  Report(why, *this, m_sessionStartMs, via);
}

namespace {
const char* EndReason(SessionEnd why) {
  switch (why) {
    case SessionEnd::Completed:
      return "";
    case SessionEnd::TerminalError:
      return "terminal error";
    case SessionEnd::TerminalDone:
      return "stopped by the terminal";
    case SessionEnd::Abandoned:
      return "abandoned";
    case SessionEnd::ConnectionClosed:
      return "connection closed";
    case SessionEnd::TimedOut:
      return "timed out";
    case SessionEnd::PortFailed:
      return "serial port failed";
    case SessionEnd::Refused:
      return "refused";  // the session's own reason is used instead
  }
  return "";
}
}  // namespace

void DownloadEngine::Report(SessionEnd why, const DownloadSession& session, std::int64_t startMs,
                            const std::string& via) {
  if (m_host.log == nullptr) return;
  DownloadReport report;
  // The terminal's own "done" is a normal end: it has what it wanted.
  report.done = why == SessionEnd::Completed || why == SessionEnd::TerminalDone;
  report.file = session.m_fileName;
  report.via = via;
  report.kind = &session == this && m_romSession ? "rom" : "bll";
  if (why == SessionEnd::Refused) {
    report.reason = session.m_refusal;
    m_host.log->DownloadEnded(report);
    return;
  }
  report.bytes = session.m_fileSize;
  report.blocks = session.m_packetCount;
  report.millis = std::max<std::int64_t>(0, NowMs() - startMs);
  report.reason = EndReason(why);
  report.bytesSent =
      why == SessionEnd::Completed
          ? session.m_fileSize
          : std::min<std::int64_t>(std::int64_t{session.m_packetNo} * session.m_blockSize,
                                   session.m_fileSize);
  if (why == SessionEnd::TerminalDone) {
    report.note = "ended by the terminal at block " + std::to_string(session.m_packetNo) + " of " +
                  std::to_string(session.m_packetCount);
  }
  m_host.log->DownloadEnded(report);
}

void DownloadEngine::TcpSessionUpdated(TcpSession& session) {
  // The single-session fields show the latest TCP event while no session of
  // their own runs.
  if (TransferRunning()) return;
  m_status = session.m_status;
  UpdateData(false);
}

void DownloadEngine::TcpSessionProgress(TcpSession& session) {
  const ProgressState& bar = session.Progress();
  if (!TransferRunning()) {
    ProgressSetRange(bar.Lower(), bar.Upper());
    ProgressSetPos(bar.Pos());
  }
  if (m_host.log != nullptr) {
    m_host.log->SessionProgress(session.Peer(), session.m_fileName, bar.Pos(), bar.Upper());
  }
}

void DownloadEngine::TcpSessionStarted(TcpSession& session) {
  session.m_startMs = NowMs();
  session.m_lastFrameMs = session.m_startMs;
}

void DownloadEngine::TcpSessionEnded(TcpSession& session, SessionEnd why) {
  Report(why, session, session.m_startMs, "tcp " + session.Connection().PeerName());
}

void DownloadEngine::TcpSessionFrameRejected() {
  ++m_framesRejected;
}

void DownloadEngine::OnFrameRejected() {
  ++m_framesRejected;
}

void DownloadEngine::TcpSessionSerialWrite(std::span<const std::uint8_t> frame) {
  m_commPort.Write(frame);
}

// The main dialog's core: start-up, receive dispatch and the window's commands.
#include "core/DownloadDlg.h"

#include "config/LoaderConfig.h"
#include "download/FileSelector.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {
// BLL replies go back on the channel that delivered the frame being answered.
class CSerialSink : public IFrameSink {
 public:
  explicit CSerialSink(CSerialChannel& port) : m_Port(port) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_Port.Write(frame); }

 private:
  CSerialChannel& m_Port;
};

class CConnectionSink : public IFrameSink {
 public:
  explicit CConnectionSink(IConnection& connection) : m_Connection(connection) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_Connection.Send(frame); }

 private:
  IConnection& m_Connection;
};
}  // namespace

CDownloadDlg::CDownloadDlg(CSerialChannel& commPort, DownloadHost host, std::string curDir)
    : m_szCurDir(std::move(curDir)), m_CommPort(commPort), m_Host(host) {
  m_strConfigPath = m_szCurDir + "/" + std::string(kConfigFileName);
}

CDownloadDlg::~CDownloadDlg() = default;

bool CDownloadDlg::OnInitDialog() {
  LoaderConfig cfg;
  // Unrecognised PORT/BAUD values keep what the channel holds now.
  cfg.m_nPort = m_CommPort.m_nPort;
  cfg.m_nCommType = m_CommPort.m_nCommType;
  cfg.m_nBaudIndex = m_CommPort.m_nBaudIndex;
  cfg.m_PortDevices = m_CommPort.m_PortDevices;
  m_ConfigWarnings.clear();
  m_strConfigError.clear();
  if (!LoadLoaderConfig(m_strConfigPath, m_szCurDir, cfg, m_ConfigWarnings, m_strConfigError)) {
    if (m_Host.messages != nullptr) m_Host.messages->MessageBox(kTextConfigMissing);
    return false;
  }
  m_Config = cfg;
  m_bConfigLoaded = true;
  m_strRomDir = cfg.m_strRomDir;
  m_strBllDir = cfg.m_strBllDir;
  m_szRomTypes = cfg.m_szRomTypes;
  m_nTcpPace = cfg.m_nTcpPace;
  m_CommPort.m_nPort = cfg.m_nPort;
  m_CommPort.m_nCommType = cfg.m_nCommType;
  m_CommPort.m_nBaudIndex = cfg.m_nBaudIndex;
  m_CommPort.m_strModemInit = cfg.m_strModemInit;
  m_CommPort.m_PortDevices = cfg.m_PortDevices;
  m_CommPort.m_bFrameDispatch = cfg.m_bFrameDispatch;
  m_CommPort.m_nFrameWaitMs = cfg.m_nFrameWaitMs;

  m_nRomState = kStateIdle;
  m_nBllState = kStateIdle;
  m_pRomFile.Reset();
  m_pBllFile.Reset();
  m_strRomLocation = m_strRomDir;

  if (cfg.m_bNoSerialPort) {
    // TCP only: no device is opened, and nothing waits for one.
    m_CommPort.Close();
    m_strPortStatus = kTextNoSerialPort;
  } else {
    m_CommPort.Open();
    if (m_CommPort.m_bOpen) {
      ShowPortStatus();
    } else {
      m_strPortStatus = m_CommPort.m_strPortName + kTextPortError;
    }
  }
  m_strStatus.clear();
  UpdateData(false);
  if (m_Host.progress != nullptr) m_Host.progress->SetStep(1);
  return true;
}

void CDownloadDlg::OnCommRead() {
  m_nChannel = CHANNEL_SERIAL;
  std::vector<std::uint8_t> buf;
  buf.reserve(static_cast<std::size_t>(m_CommPort.m_QueueRead.GetCount()));
  for (int n = m_CommPort.m_QueueRead.GetCount(); n > 0; --n) {
    std::uint8_t b = 0;
    if (!m_CommPort.m_QueueRead.Get(&b)) break;
    buf.push_back(b);
  }
  if (buf.empty()) return;

  if (m_CommPort.m_nCommType == COMM_MODEM && !m_CommPort.m_bConnected) {
    // Modem text up to its first zero byte goes to the status line.
    const auto zero = std::find(buf.begin(), buf.end(), std::uint8_t{0});
    m_strStatus.assign(buf.begin(), zero);
    m_CommPort.ModemResponse(buf);
    UpdateData(false);
    return;
  }
  const std::size_t len = FindFrameStart(buf);
  if (len == 0 || !m_CommPort.m_bOpen) return;
  DispatchFrame(nullptr, std::span<const std::uint8_t>(buf.data(), len));
}

void CDownloadDlg::OnSocketReceive(IConnection* pSocket, std::span<const std::uint8_t> data) {
  // A buffer of our own (trimming moves bytes), kept from receive to receive.
  const std::size_t size = std::min(data.size(), kMaxSocketReceive);
  std::copy_n(data.begin(), size, m_ReceiveBuf.begin());
  const std::size_t len = FindFrameStart(std::span<std::uint8_t>(m_ReceiveBuf.data(), size));
  // TCP is served whatever the serial port's state: only ROM replies need it.
  if (len == 0) return;
  DispatchFrame(pSocket, std::span<const std::uint8_t>(m_ReceiveBuf.data(), len));
}

bool CDownloadDlg::IsSessionChannel(const IConnection* pSocket) const {
  if (m_nRomState > kStateIdle) {
    // ROM replies go to the serial port, so its terminal may answer there too.
    return pSocket == m_pSessionOwner || pSocket == nullptr;
  }
  return m_nBllState > kStateIdle && pSocket == m_pSessionOwner;
}

void CDownloadDlg::DispatchFrame(IConnection* pSocket, std::span<const std::uint8_t> frame) {
  if (m_Config.m_bConcurrent && pSocket != nullptr &&
      !(TransferRunning() && m_pSessionOwner == pSocket)) {
    DispatchOwnSession(*pSocket, frame);
  } else {
    DispatchSingle(pSocket, frame);
  }
}

void CDownloadDlg::DispatchSingle(IConnection* pSocket, std::span<const std::uint8_t> frame) {
  CSerialSink serial(m_CommPort);
  std::optional<CConnectionSink> connection;
  if (pSocket != nullptr) connection.emplace(*pSocket);
  IFrameSink& reply = connection ? static_cast<IFrameSink&>(*connection) : serial;

  if (TransferRunning()) {
    // A session belongs to the channel that started it: another channel's
    // frame gets no reply and leaves it (and the window) untouched.
    if (!IsSessionChannel(pSocket)) return;
    m_nLastFrameMs = NowMs();
    if (m_nRomState > kStateIdle) {
      ContinueRomSession(frame);
    } else {
      ContinueBllSession(reply, frame);
    }
  } else if (m_nRomState != kStateIdle || m_nBllState != kStateIdle) {
    // Blocked (a modal command runs): the frame is dropped.
  } else if (ByteAt(frame, 0) == kRomStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!m_CommPort.m_bOpen) {
      // Only a TCP request gets here: its replies would need the serial port.
      const auto name = LrcMatches(frame) ? RomRequestName(frame) : std::nullopt;
      m_strStatus = kStatusRomNeedsSerial + name.value_or(std::string());
    } else {
      m_pSessionOwner = pSocket;
      m_bRomSession = true;
      StartRomSession(frame);
    }
  } else if (ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!IsBllRequest(frame)) return;  // dropped without a refresh
    m_pSessionOwner = pSocket;
    m_bRomSession = false;
    StartBllSession(reply, frame);
  }
  UpdateData(false);
}

void CDownloadDlg::DispatchOwnSession(IConnection& socket, std::span<const std::uint8_t> frame) {
  CTcpSession* pSession = FindTcpSession(&socket);
  const bool running = pSession != nullptr && pSession->TransferRunning();
  const bool idle = m_nRomState == kStateIdle && m_nBllState == kStateIdle;
  if (m_nRomState == kStateBlocked || m_nBllState == kStateBlocked) {
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
  if (pSession == nullptr) {
    ITcpSessionOwner& owner = *this;
    m_TcpSessions.push_back(std::make_unique<CTcpSession>(owner, socket, m_strBllDir));
    pSession = m_TcpSessions.back().get();
    m_TcpSessionOf[&socket] = pSession;
  }
  if (pSession->m_strBllDir != m_strBllDir) pSession->m_strBllDir = m_strBllDir;
  // The status line is one field, as in the single session: a refresh before
  // the session sets its own text shows what the line holds now.
  if (!TransferRunning()) pSession->m_strStatus = m_strStatus;
  pSession->m_nLastFrameMs = NowMs();
  pSession->OnFrame(frame);
}

CTcpSession* CDownloadDlg::FindTcpSession(const IConnection* pSocket) const {
  // Looked up for every frame: a thousand connections must not cost a thousand compares.
  const auto it = m_TcpSessionOf.find(pSocket);
  return it == m_TcpSessionOf.end() ? nullptr : it->second;
}

void CDownloadDlg::OnCommFailure() {
  // ROM replies and a serial terminal's BLL replies can go nowhere now; a BLL
  // session of a TCP connection goes on.
  if (m_nRomState > kStateIdle || (m_nBllState > kStateIdle && m_pSessionOwner == nullptr)) {
    FinishTransfer(SessionEnd::PortFailed);
  }
  m_CommPort.Close();
  ShowPortFailed();
  UpdateData(false);
}

void CDownloadDlg::OnSocketAccept(int nSocketCount) {
  m_nSocketCount = nSocketCount;
  m_nChannel = CHANNEL_TCPIP;
  m_strStatus = kTextTcpAccepted;
  UpdateData(false);
}

void CDownloadDlg::OnSocketClose(IConnection* pSocket) {
  if (pSocket == nullptr) return;
  // Its terminal is gone: a session it started ends now instead of blocking
  // every later download.
  if (TransferRunning() && m_pSessionOwner == pSocket) {
    FinishTransfer(SessionEnd::ConnectionClosed);
    UpdateData(false);
  }
  if (m_pSessionOwner == pSocket) m_pSessionOwner = nullptr;
  const auto it = std::find_if(m_TcpSessions.begin(), m_TcpSessions.end(),
                               [&](const auto& p) { return &p->Connection() == pSocket; });
  if (it == m_TcpSessions.end()) return;
  (*it)->End(SessionEnd::ConnectionClosed);
  m_TcpSessionOf.erase(pSocket);
  m_TcpSessions.erase(it);  // closes its file
}

void CDownloadDlg::OnSessionTimer() {
  if (m_Config.m_nSessionTimeoutSec <= 0) return;
  const std::int64_t limit = std::int64_t{m_Config.m_nSessionTimeoutSec} * 1000;
  const std::int64_t now = NowMs();
  if (TransferRunning() && now - m_nLastFrameMs >= limit) {
    m_strStatus = kStatusTimedOut + m_strFileName;
    FinishTransfer(SessionEnd::TimedOut);
    UpdateData(false);
  }
  for (const auto& session : m_TcpSessions) {
    if (session->TransferRunning() && now - session->m_nLastFrameMs >= limit) {
      session->End(SessionEnd::TimedOut, kStatusTimedOut + session->m_strFileName);
    }
  }
}

std::vector<TcpSessionInfo> CDownloadDlg::TcpSessions() const {
  std::vector<TcpSessionInfo> list;
  for (const auto& session : m_TcpSessions) {
    if (!session->TransferRunning()) continue;
    const int count = session->m_nPacketCount;
    const int percent =
        count > 0 ? static_cast<int>(std::int64_t{session->m_nPacketNo} * 100 / count) : 100;
    list.push_back({session->Connection().PeerName(), session->m_strFileName, percent});
  }
  return list;
}

void CDownloadDlg::OnListenFailed(std::string_view reason) {
  m_strStatus = kTextListenError + std::string(reason);
  UpdateData(false);
}

void CDownloadDlg::OnPortSettings() {
  if (m_Host.portSetDialog == nullptr) return;
  const auto setting =
      m_Host.portSetDialog->RunPortSetDlg(m_CommPort.m_nBaudIndex, m_CommPort.m_nPort,
                                          m_CommPort.m_nCommType, m_CommPort.m_strModemInit);
  if (!setting) return;
  m_Config.m_bNoSerialPort = false;  // a chosen port ends TCP-only mode
  SetSessionsEnabled(false);
  // Close joins the reader, so the old reader is gone before Open starts a new
  // one; no pause is needed between them.
  m_CommPort.Close();
  m_CommPort.m_nPort = setting->nPort;
  m_CommPort.m_nCommType = setting->nCommType;
  m_CommPort.m_nBaudIndex = setting->nBaudIndex;
  if (setting->strModemInit) m_CommPort.m_strModemInit = *setting->strModemInit;
  m_CommPort.Open();
  SetSessionsEnabled(true);
  if (m_CommPort.m_bOpen) {
    ShowPortStatus();
  } else {
    ShowPortFailed();
  }
  UpdateData(false);
}

void CDownloadDlg::OnRomLocation() {
  SetSessionsEnabled(false);
  if (m_Host.folderChooser != nullptr) {
    const auto folder = m_Host.folderChooser->ChooseFolder(kTextRomLocationTitle, m_strRomDir);
    if (folder) {
      m_strRomDir = *folder;
      m_strRomLocation = *folder;
      UpdateData(false);
    }
  }
  SetSessionsEnabled(true);
}

void CDownloadDlg::OnSaveConfig() {
  LoaderConfig cfg;
  cfg.m_strRomDir = m_strRomDir;
  cfg.m_strBllDir = m_strBllDir;
  cfg.m_nPort = m_CommPort.m_nPort;
  cfg.m_nCommType = m_CommPort.m_nCommType;
  cfg.m_nBaudIndex = m_CommPort.m_nBaudIndex;
  cfg.m_strModemInit = m_CommPort.m_strModemInit;
  cfg.m_szRomTypes = m_szRomTypes;
  cfg.m_PortDevices = m_CommPort.m_PortDevices;
  cfg.m_nTcpPace = m_nTcpPace;
  cfg.m_bNoSerialPort = m_Config.m_bNoSerialPort;
  std::string error;
  SaveLoaderConfig(m_strConfigPath, cfg, error);
  ReportSave(error);
  UpdateData(false);
}

void CDownloadDlg::MapPortDevice(int nPort, const std::string& device) {
  if (nPort < 1 || nPort > static_cast<int>(m_CommPort.m_PortDevices.size())) return;
  const auto index = static_cast<std::size_t>(nPort - 1);
  m_CommPort.m_PortDevices[index] = device;
  m_Config.m_PortDevices[index] = device;
  std::string error;
  SavePortMapping(m_strConfigPath, nPort, device, error);
  ReportSave(error);
  UpdateData(false);
}

void CDownloadDlg::ReportSave(const std::string& error) {
  m_strStatus = error.empty() ? kStatusConfigSaved + m_strConfigPath
                              : kStatusConfigNotSaved + m_strConfigPath + ": " + error;
  if (m_Host.log != nullptr) m_Host.log->ConfigSaved(m_strConfigPath, error);
}

bool CDownloadDlg::DownloadRunning() const {
  return TransferRunning() ||
         std::any_of(m_TcpSessions.begin(), m_TcpSessions.end(),
                     [](const auto& session) { return session->TransferRunning(); });
}

std::string CDownloadDlg::PortExplanation() const {
  if (m_CommPort.m_bOpen || m_Config.m_bNoSerialPort) return {};
  const std::string& device = m_CommPort.PortDevice();
  const std::string& name = m_CommPort.m_strPortName;
  return name + " = " + device + ": " + (m_strPortReason.empty() ? kPortNotOpen : m_strPortReason) +
         "\n[Ports] " + name + "=" + device + " in " + m_strConfigPath;
}

void CDownloadDlg::SendTrigger() {
  m_CommPort.Write(TriggerFrame());
}

void CDownloadDlg::SetSessionsEnabled(bool bEnable) {
  // A transfer cut off here is ended, so its file is closed and the buttons it
  // disabled come back.
  AbandonTransfer();
  // TCP terminals are served whatever the serial port's state (serial bytes
  // are dropped anyway while it is closed); only a missing Romvale.cfg keeps
  // everything blocked.
  const int state = bEnable && m_bConfigLoaded ? kStateIdle : kStateBlocked;
  m_nRomState = state;
  m_nBllState = state;
}

void CDownloadDlg::EnableControls(bool bEnable) {
  m_bControlsEnabled = bEnable;
  if (m_Host.view != nullptr) m_Host.view->EnableControls(bEnable);
}

void CDownloadDlg::ShowPortStatus() {
  const char* mode = m_CommPort.m_nCommType == COMM_MODEM ? " : Modem : " : " : Serial : ";
  m_strPortStatus =
      " " + m_CommPort.m_strPortName + mode + std::to_string(m_CommPort.m_dwBaudRate) + "bps ";
}

bool CDownloadDlg::ReopenPort() {
  m_CommPort.Open();
  if (!m_CommPort.m_bOpen) return false;
  if (m_nRomState == kStateBlocked) m_nRomState = kStateIdle;
  if (m_nBllState == kStateBlocked) m_nBllState = kStateIdle;
  m_strPortReason.clear();
  ShowPortStatus();
  UpdateData(false);
  return true;
}

void CDownloadDlg::ShowPortFailed() {
  // The sessions stay as they are: TCP does not need the serial port.
  m_strPortStatus = m_CommPort.m_strPortName + kTextPortError;
}

void CDownloadDlg::UpdateData(bool bSaveAndValidate) {
  if (m_Host.view != nullptr) m_Host.view->UpdateData(bSaveAndValidate);
}

void CDownloadDlg::ProgressSetRange(int nLower, int nUpper) {
  if (m_Host.progress != nullptr) m_Host.progress->SetRange(nLower, nUpper);
}

void CDownloadDlg::ProgressStepIt() {
  if (m_Host.progress != nullptr) m_Host.progress->StepIt();
}

void CDownloadDlg::ProgressSetPos(int nPos) {
  if (m_Host.progress != nullptr) m_Host.progress->SetPos(nPos);
}

void CDownloadDlg::SerialWrite(std::span<const std::uint8_t> frame) {
  m_CommPort.Write(frame);
}

bool CDownloadDlg::ModemMode() const {
  return m_CommPort.m_nCommType == COMM_MODEM;
}

void CDownloadDlg::ClearModemLink() {
  m_CommPort.m_bConnected = false;
}

std::int64_t CDownloadDlg::NowMs() const {
  return m_Host.clock != nullptr ? m_Host.clock->NowMs() : 0;
}

std::string CDownloadDlg::SerialVia() const {
  return "serial " + m_CommPort.m_strPortName;
}

void CDownloadDlg::OnSessionStarted() {
  m_bRomSession = m_nRomState > kStateIdle;
  m_nSessionStartMs = NowMs();
  m_nLastFrameMs = m_nSessionStartMs;
}

void CDownloadDlg::OnSessionEnded(SessionEnd why) {
  // A ROM image always travels on the serial line, whoever asked for it.
  const std::string via = m_bRomSession || m_pSessionOwner == nullptr
                              ? SerialVia()
                              : "tcp " + m_pSessionOwner->PeerName();
  Report(why, *this, m_nSessionStartMs, via);
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

void CDownloadDlg::Report(SessionEnd why, const CDownloadSession& session, std::int64_t nStartMs,
                          const std::string& strVia) {
  if (m_Host.log == nullptr) return;
  DownloadReport report;
  // The terminal's own "done" is a normal end: it has what it wanted.
  report.bDone = why == SessionEnd::Completed || why == SessionEnd::TerminalDone;
  report.strFile = session.m_strFileName;
  report.strVia = strVia;
  report.strKind = &session == this && m_bRomSession ? "rom" : "bll";
  if (why == SessionEnd::Refused) {
    report.strReason = session.m_strRefusal;
    m_Host.log->DownloadEnded(report);
    return;
  }
  report.nBytes = session.m_nFileSize;
  report.nBlocks = session.m_nPacketCount;
  report.nMillis = std::max<std::int64_t>(0, NowMs() - nStartMs);
  report.strReason = EndReason(why);
  report.nBytesSent =
      why == SessionEnd::Completed
          ? session.m_nFileSize
          : std::min<std::int64_t>(std::int64_t{session.m_nPacketNo} * session.m_nBlockSize,
                                   session.m_nFileSize);
  if (why == SessionEnd::TerminalDone) {
    report.strNote = "ended by the terminal at block " + std::to_string(session.m_nPacketNo) +
                     " of " + std::to_string(session.m_nPacketCount);
  }
  m_Host.log->DownloadEnded(report);
}

void CDownloadDlg::TcpSessionUpdated(CTcpSession& session) {
  // The single-session fields show the latest TCP event while no session of
  // their own runs.
  if (TransferRunning()) return;
  m_strStatus = session.m_strStatus;
  UpdateData(false);
}

void CDownloadDlg::TcpSessionProgress(CTcpSession& session) {
  const CProgressState& bar = session.Progress();
  if (!TransferRunning()) {
    ProgressSetRange(bar.Lower(), bar.Upper());
    ProgressSetPos(bar.Pos());
  }
  if (m_Host.log != nullptr) {
    m_Host.log->SessionProgress(session.Peer(), session.m_strFileName, bar.Pos(), bar.Upper());
  }
}

void CDownloadDlg::TcpSessionStarted(CTcpSession& session) {
  session.m_nStartMs = NowMs();
  session.m_nLastFrameMs = session.m_nStartMs;
}

void CDownloadDlg::TcpSessionEnded(CTcpSession& session, SessionEnd why) {
  Report(why, session, session.m_nStartMs, "tcp " + session.Connection().PeerName());
}

void CDownloadDlg::TcpSessionFrameRejected() {
  ++m_nFramesRejected;
}

void CDownloadDlg::OnFrameRejected() {
  ++m_nFramesRejected;
}

void CDownloadDlg::TcpSessionSerialWrite(std::span<const std::uint8_t> frame) {
  m_CommPort.Write(frame);
}

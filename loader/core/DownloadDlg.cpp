// The main dialog's core: start-up, receive dispatch and the window's commands.
#include "core/DownloadDlg.h"

#include "config/LoaderConfig.h"
#include "download/FileSelector.h"

#include <algorithm>
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
  m_strRomDir = cfg.m_strRomDir;
  m_strBllDir = cfg.m_strBllDir;
  m_szRomTypes = cfg.m_szRomTypes;
  m_nTcpPace = cfg.m_nTcpPace;
  m_CommPort.m_nPort = cfg.m_nPort;
  m_CommPort.m_nCommType = cfg.m_nCommType;
  m_CommPort.m_nBaudIndex = cfg.m_nBaudIndex;
  m_CommPort.m_strModemInit = cfg.m_strModemInit;
  m_CommPort.m_PortDevices = cfg.m_PortDevices;

  m_nRomState = kStateIdle;
  m_nBllState = kStateIdle;
  m_pRomFile.reset();
  m_pBllFile.reset();
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
  std::vector<std::uint8_t> buf(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                 data.size(), kMaxSocketReceive)));
  const std::size_t len = FindFrameStart(buf);
  if (len == 0 || (!m_CommPort.m_bOpen && !m_Config.m_bNoSerialPort)) return;
  DispatchFrame(pSocket, std::span<const std::uint8_t>(buf.data(), len));
}

void CDownloadDlg::DispatchFrame(IConnection* pSocket, std::span<const std::uint8_t> frame) {
  CSerialSink serial(m_CommPort);
  std::optional<CConnectionSink> connection;
  if (pSocket != nullptr) connection.emplace(*pSocket);
  IFrameSink& reply = connection ? static_cast<IFrameSink&>(*connection) : serial;

  if (m_nRomState != kStateIdle || m_nBllState != kStateIdle) {
    // A blocked state (negative) drops the frame.
    if (m_nRomState > kStateIdle) {
      ContinueRomSession(frame);
    } else if (m_nBllState > kStateIdle) {
      ContinueBllSession(reply, frame);
    }
  } else if (ByteAt(frame, 0) == kRomStart && ByteAt(frame, 1) == kCmdRequest) {
    StartRomSession(frame);
  } else if (ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!IsBllRequest(frame)) return;  // dropped without a refresh
    StartBllSession(reply, frame);
  }
  UpdateData(false);
}

void CDownloadDlg::OnCommFailure() {
  // Like a port that failed to open: nothing is served until the port is reopened.
  SetSessionsEnabled(false);
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

void CDownloadDlg::OnSocketClose(IConnection* /*pSocket*/) {
  // Replies never keep a connection beyond the frame they answer: nothing to forget.
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
  SaveLoaderConfig(m_strConfigPath, cfg);  // a failed write is not reported
}

void CDownloadDlg::SendTrigger() {
  m_CommPort.Write(TriggerFrame());
}

void CDownloadDlg::SetSessionsEnabled(bool bEnable) {
  // A transfer cut off here is ended, so its file is closed and the buttons it
  // disabled come back.
  AbandonTransfer();
  const int state =
      bEnable && (m_CommPort.m_bOpen || m_Config.m_bNoSerialPort) ? kStateIdle : kStateBlocked;
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
  m_strPortStatus = m_CommPort.m_strPortName + kTextPortError;
  m_nRomState = kStateBlocked;
  m_nBllState = kStateBlocked;
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

// Wiring of the loader's channels to the download dialog's core.
#include "runtime/LoaderRuntime.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTcpSocket>
#include <QTimer>

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <iostream>

namespace {
constexpr int kSessionTimerMs = 1000;  // time-outs are whole seconds

DownloadHost WithClock(DownloadHost host, const IClock& clock) {
  if (host.clock == nullptr) host.clock = &clock;
  return host;
}
}  // namespace

CLoaderRuntime::CLoaderRuntime(DownloadHost host, std::string curDir, std::uint16_t tcpPort,
                               QObject* pParent)
    : QObject(pParent),
      m_Clock(),
      m_Host(WithClock(host, m_Clock)),
      m_nTcpPort(tcpPort),
      m_pDlg(std::make_unique<CDownloadDlg>(m_CommPort, m_Host, std::move(curDir))) {
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
  }
  // A serial line that takes nothing costs a frame and a status line, never a stall.
  m_CommPort.SetWriteDropped([this](std::size_t) {
    m_pDlg->m_strStatus = std::string(CCommPort::kWriteDroppedText);
    m_pDlg->UpdateData(false);
  });
}

CLoaderRuntime::~CLoaderRuntime() {
  m_CommPort.Close();
  m_CommPort.SetNotify({});
  m_CommPort.SetWriteDropped({});
  m_pWakeNotifier.reset();
  m_SocketList.clear();
  m_ClosedSockets.clear();
  m_pListenSocket.reset();
}

bool CLoaderRuntime::Start() {
  if (!m_pListenSocket) {
    m_pListenSocket = std::make_unique<CListenSocket>([this] { OnSocketAccept(); });
    if (!m_pListenSocket->Listen(m_nTcpPort)) {
      m_strListenError = m_pListenSocket->ErrorString();
      std::cerr << "Tarvix: cannot listen on TCP port " << m_nTcpPort << ": " << m_strListenError
                << std::endl;
    }
  }
  const bool bInit = m_pDlg->OnInitDialog();
  m_SessionTimer.start();
  // Reported after the dialog's start-up, which clears the status line.
  if (!m_strListenError.empty()) m_pDlg->OnListenFailed(m_strListenError);
  return bInit;
}

std::uint16_t CLoaderRuntime::TcpPort() const {
  return m_pListenSocket ? m_pListenSocket->Port() : 0;
}

void CLoaderRuntime::OnCommRead() { m_pDlg->OnCommRead(); }

void CLoaderRuntime::OnCommMessage(std::string_view text) {
  if (m_Host.messages != nullptr) m_Host.messages->MessageBox(text);
}

void CLoaderRuntime::OnCommFailure() { m_pDlg->OnCommFailure(); }

void CLoaderRuntime::OnSocketAccept() {
  const LoaderConfig& cfg = m_pDlg->m_Config;
  while (QTcpSocket* pSocket = m_pListenSocket->Accept()) {
    if (ConnectionCount() >= cfg.m_nTcpMaxConn) {
      // Over the cap: accepted (so it leaves the backlog) and closed at once.
      pSocket->abort();
      delete pSocket;
      continue;
    }
    ISocketEvents& events = *this;
    const ConnectionLimits limits{kTcpWriteQueueBytes, cfg.m_nTcpIdleSec};
    m_SocketList.push_back(std::make_unique<CClientSocket>(pSocket, events, limits));
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

int CLoaderRuntime::TcpPaceMs() const { return m_pDlg->TcpPaceMs(); }

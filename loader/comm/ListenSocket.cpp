// The TCP listener on Qt Network, with a back-off when accepting fails.
#include "comm/ListenSocket.h"

#include <QTcpSocket>

#include <algorithm>

CListenSocket::CListenSocket(std::function<void()> onAccept) {
  QObject::connect(&m_Server, &QTcpServer::newConnection, &m_Server, std::move(onAccept));
  m_BackoffTimer.setSingleShot(true);
  QObject::connect(&m_BackoffTimer, &QTimer::timeout, &m_Server, [this] { m_Server.resumeAccepting(); });
  QObject::connect(&m_Server, &QTcpServer::acceptError, &m_Server, [this] { OnAcceptError(); });
}

bool CListenSocket::Listen(std::uint16_t port) { return m_Server.listen(QHostAddress::Any, port); }

std::string CListenSocket::ErrorString() const { return m_Server.errorString().toStdString(); }

std::uint16_t CListenSocket::Port() const { return m_Server.isListening() ? m_Server.serverPort() : 0; }

QTcpSocket* CListenSocket::Accept() {
  QTcpSocket* pSocket = m_Server.nextPendingConnection();
  if (pSocket != nullptr && !m_BackoffTimer.isActive()) m_nBackoffMs = kAcceptBackoffFirstMs;
  return pSocket;
}

void CListenSocket::OnAcceptError() {
  // No descriptor left (EMFILE/ENFILE) or no memory: the connection stays in the
  // backlog and the listener stays readable, so retrying at once would spin.
  // Pause, then try again, waiting longer each time it still fails.
  ++m_nAcceptErrors;
  m_Server.pauseAccepting();
  m_BackoffTimer.start(m_nBackoffMs);
  m_nBackoffMs = std::min(m_nBackoffMs * 2, kAcceptBackoffMaxMs);
}

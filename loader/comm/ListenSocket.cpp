// The TCP listener on Qt Network.
#include "comm/ListenSocket.h"

#include <QTcpSocket>

CListenSocket::CListenSocket(std::function<void()> onAccept) {
  QObject::connect(&m_Server, &QTcpServer::newConnection, &m_Server, std::move(onAccept));
}

bool CListenSocket::Listen(std::uint16_t port) { return m_Server.listen(QHostAddress::Any, port); }

std::string CListenSocket::ErrorString() const { return m_Server.errorString().toStdString(); }

std::uint16_t CListenSocket::Port() const { return m_Server.isListening() ? m_Server.serverPort() : 0; }

QTcpSocket* CListenSocket::Accept() { return m_Server.nextPendingConnection(); }

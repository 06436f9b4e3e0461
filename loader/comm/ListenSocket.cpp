// The TCP listener on Qt Network.
#include "comm/ListenSocket.h"

#include <QTcpSocket>

CListenSocket::CListenSocket(std::function<void()> onAccept) {
  QObject::connect(&m_Server, &QTcpServer::newConnection, &m_Server, std::move(onAccept));
}

bool CListenSocket::Listen(std::uint16_t port) { return m_Server.listen(QHostAddress::Any, port); }

bool CListenSocket::Listen(const std::string& address, std::uint16_t port) {
  if (address.empty()) return Listen(port);
  const QHostAddress host(QString::fromStdString(address));
  if (host.isNull()) {
    m_strAddressError = "not a numeric IP address: " + address;
    return false;
  }
  m_strAddressError.clear();
  return m_Server.listen(host, port);
}

std::string CListenSocket::ErrorString() const {
  return m_strAddressError.empty() ? m_Server.errorString().toStdString() : m_strAddressError;
}

std::uint16_t CListenSocket::Port() const { return m_Server.isListening() ? m_Server.serverPort() : 0; }

QTcpSocket* CListenSocket::Accept() { return m_Server.nextPendingConnection(); }

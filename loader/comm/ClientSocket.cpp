// One accepted TCP connection on Qt Network.
#include "comm/ClientSocket.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {
std::string DescribePeer(const QTcpSocket& socket) {
  const QHostAddress address = socket.peerAddress();
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  const QString host = isV4 ? QHostAddress(v4).toString()
                            : QStringLiteral("[") + address.toString() + QStringLiteral("]");
  return (host + QLatin1Char(':') + QString::number(socket.peerPort())).toStdString();
}
}  // namespace

CClientSocket::CClientSocket(QTcpSocket* pSocket, ISocketEvents& events, QObject* pParent)
    : QObject(pParent), m_pSocket(pSocket), m_Events(events) {
  m_pSocket->setParent(this);
  m_strPeerName = DescribePeer(*m_pSocket);
  // Qt reads no more than one receive ahead, so while this connection pauses
  // its further data waits in the socket, not in our memory.
  m_pSocket->setReadBufferSize(kRecvMax);
  m_PaceTimer.setSingleShot(true);
  QObject::connect(&m_PaceTimer, &QTimer::timeout, this, [this] { OnPaceElapsed(); });
  QObject::connect(m_pSocket, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
  QObject::connect(m_pSocket, &QTcpSocket::disconnected, this, [this] { OnClose(); });
  QObject::connect(m_pSocket, &QTcpSocket::errorOccurred, this, [this] {
    if (m_pSocket->state() != QAbstractSocket::ConnectedState) OnClose();
  });
  // Data that arrived before we were connected up would otherwise wait for more.
  if (m_pSocket->bytesAvailable() > 0) {
    m_bPaused = true;
    m_PaceTimer.start(0);
  }
}

CClientSocket::~CClientSocket() {
  m_PaceTimer.stop();
  m_pSocket->disconnect(this);
  m_pSocket->abort();
}

int CClientSocket::Send(std::span<const std::uint8_t> data) {
  if (m_bClosed || data.empty()) return 0;
  const qint64 n = m_pSocket->write(reinterpret_cast<const char*>(data.data()),
                                    static_cast<qint64>(data.size()));
  if (n <= 0) return 0;
  m_pSocket->flush();
  return static_cast<int>(n);
}

void CClientSocket::OnReadyRead() {
  if (m_bPaused || m_bClosed) return;
  OnReceive();
}

void CClientSocket::OnReceive() {
  const qint64 n = m_pSocket->read(reinterpret_cast<char*>(m_RecvBuf.data()), kRecvMax);
  if (n <= 0) return;
  m_RecvBuf[static_cast<std::size_t>(n)] = 0;
  m_Events.OnSocketReceive(this, std::span<const std::uint8_t>(m_RecvBuf.data(), static_cast<std::size_t>(n)));
  if (m_bClosed) return;
  const int pace = m_Events.TcpPaceMs();
  // Without a pause, more buffered data is still taken one receive per turn of
  // the event loop, so other connections and the serial channel get their turns.
  if (pace > 0 || m_pSocket->bytesAvailable() > 0) {
    m_bPaused = true;
    m_PaceTimer.start(pace > 0 ? pace : 0);
  }
}

void CClientSocket::OnPaceElapsed() {
  m_bPaused = false;
  if (m_bClosed) return;
  if (m_pSocket->bytesAvailable() > 0) OnReceive();
}

void CClientSocket::OnClose() {
  if (m_bClosed) return;
  m_bClosed = true;
  m_PaceTimer.stop();
  m_Events.OnSocketClosed(this);
}

// One accepted TCP connection on Qt Network.
#include "comm/ClientSocket.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <algorithm>
#include <limits>

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

CClientSocket::CClientSocket(QTcpSocket* pSocket, ISocketEvents& events, ConnectionLimits limits,
                             QObject* pParent)
    : QObject(pParent), m_pSocket(pSocket), m_Events(events), m_Limits(limits) {
  m_pSocket->setParent(this);
  m_strPeerName = DescribePeer(*m_pSocket);
  // Qt reads no more than one receive ahead, so while this connection pauses
  // its further data waits in the socket, not in our memory.
  m_pSocket->setReadBufferSize(kRecvMax);
  m_PaceTimer.setSingleShot(true);
  QObject::connect(&m_PaceTimer, &QTimer::timeout, this, [this] { OnPaceElapsed(); });
  m_IdleTimer.setSingleShot(true);
  QObject::connect(&m_IdleTimer, &QTimer::timeout, this, [this] { CloseNow(); });
  RestartIdleTimer();
  QObject::connect(m_pSocket, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
  QObject::connect(m_pSocket, &QTcpSocket::bytesWritten, this, [this] { OnBytesWritten(); });
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
  m_IdleTimer.stop();
  m_pSocket->disconnect(this);
  m_pSocket->abort();
}

int CClientSocket::Send(std::span<const std::uint8_t> data) {
  if (m_bClosed || data.empty()) return 0;
  // A peer that does not read must not make us hold its replies without end.
  const auto queued = static_cast<std::size_t>(m_pSocket->bytesToWrite());
  if (queued + data.size() > m_Limits.nMaxWriteQueue) {
    if (queued > 0) m_bWriteBlocked = true;
    return 0;
  }
  const qint64 n = m_pSocket->write(reinterpret_cast<const char*>(data.data()),
                                    static_cast<qint64>(data.size()));
  if (n <= 0) return 0;
  m_pSocket->flush();
  // What the system did not take waits in our queue: read no more from this
  // peer (and so answer no more) until it has taken it.
  if (m_pSocket->bytesToWrite() > 0) m_bWriteBlocked = true;
  return static_cast<int>(n);
}

std::size_t CClientSocket::WriteQueued() const {
  return static_cast<std::size_t>(m_pSocket->bytesToWrite());
}

void CClientSocket::CloseNow() {
  if (m_bClosed) return;
  m_pSocket->abort();
  OnClose();  // abort may or may not have reported it already
}

void CClientSocket::OnReadyRead() {
  if (m_bClosed) return;
  RestartIdleTimer();
  if (CanRead()) OnReceive();
}

void CClientSocket::RestartIdleTimer() {
  constexpr int kMaxIdleSec = std::numeric_limits<int>::max() / 1000;
  if (m_Limits.nIdleSec > 0) m_IdleTimer.start(std::min(m_Limits.nIdleSec, kMaxIdleSec) * 1000);
}

void CClientSocket::OnReceive() {
  const qint64 n = m_pSocket->read(reinterpret_cast<char*>(m_RecvBuf.data()), kRecvMax);
  if (n <= 0) return;
  m_RecvBuf[static_cast<std::size_t>(n)] = 0;
  m_Events.OnSocketReceive(
      this, std::span<const std::uint8_t>(m_RecvBuf.data(), static_cast<std::size_t>(n)));
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
  if (CanRead() && m_pSocket->bytesAvailable() > 0) OnReceive();
}

void CClientSocket::OnBytesWritten() {
  if (!m_bWriteBlocked || m_bClosed || m_pSocket->bytesToWrite() > 0) return;
  m_bWriteBlocked = false;
  // Data that waited meanwhile is taken on a later turn, as after a pause.
  if (!m_bPaused && m_pSocket->bytesAvailable() > 0) {
    m_bPaused = true;
    m_PaceTimer.start(0);
  }
}

void CClientSocket::OnClose() {
  if (m_bClosed) return;
  m_bClosed = true;
  m_PaceTimer.stop();
  m_IdleTimer.stop();
  m_Events.OnSocketClosed(this);
}

// Tarvix's running loader without any window: the serial channel, the download
// dialog's core, the TCP listener and its connections, wired together on the
// main thread's Qt event loop. The window and the headless runner both use it
// with their own DownloadHost.
#pragma once

#include "core/DownloadDlg.h"
#include "core/DownloadHost.h"
#include "comm/ClientSocket.h"
#include "comm/CommPort.h"
#include "comm/ListenSocket.h"
#include "download/UniqueFd.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// The core's clock: milliseconds of the monotonic clock since the runtime began.
class CMonotonicClock : public IClock {
public:
  CMonotonicClock() { m_Timer.start(); }
  std::int64_t NowMs() const override { return m_Timer.elapsed(); }

private:
  QElapsedTimer m_Timer;
};

class CLoaderRuntime : public QObject, private ICommEvents, private ISocketEvents {
public:
  /// curDir: where Romvale.cfg is read; tcpPort: the listener's port (0 = any free one).
  CLoaderRuntime(DownloadHost host, std::string curDir,
                 std::uint16_t tcpPort = kDefaultTcpPort, QObject* pParent = nullptr);
  /// Closes the port (joining its reader), then the connections and the listener.
  ~CLoaderRuntime() override;
  CLoaderRuntime(const CLoaderRuntime&) = delete;
  CLoaderRuntime& operator=(const CLoaderRuntime&) = delete;

  /// Creates the listener, then runs OnInitDialog (config, port, status). A
  /// listener that cannot be created is reported on the status line and stderr.
  /// Returns OnInitDialog's result (false: Romvale.cfg missing).
  bool Start();

  CDownloadDlg& Dlg() noexcept { return *m_pDlg; }
  CCommPort& CommPort() noexcept { return m_CommPort; }
  /// The TCP port the listener is bound to, 0 when not listening.
  std::uint16_t TcpPort() const;
  /// Accepted connections still open.
  int ConnectionCount() const noexcept { return static_cast<int>(m_SocketList.size()); }
  /// Why the listener could not be created ("" when it listens).
  const std::string& ListenError() const noexcept { return m_strListenError; }

private:
  // Serial reader's hand-offs, on the main thread.
  void OnCommRead() override;
  void OnCommMessage(std::string_view text) override;
  void OnCommFailure() override;
  // Connections, on the main thread.
  void OnSocketReceive(CClientSocket* pSocket, std::span<const std::uint8_t> data) override;
  void OnSocketClosed(CClientSocket* pSocket) override;
  int TcpPaceMs() const override;

  void OnSocketAccept();

  CMonotonicClock m_Clock;  // given to the core when the front end brings none
  DownloadHost m_Host;
  QTimer m_SessionTimer;    // the core decides at each tick which sessions timed out
  std::uint16_t m_nTcpPort;
  CUniqueFd m_WakeFd;                                // reader -> main thread wake-ups
  std::unique_ptr<QSocketNotifier> m_pWakeNotifier;
  CCommPort m_CommPort;
  std::unique_ptr<CDownloadDlg> m_pDlg;
  std::unique_ptr<CListenSocket> m_pListenSocket;
  std::vector<std::unique_ptr<CClientSocket>> m_SocketList;
  std::vector<std::unique_ptr<CClientSocket>> m_ClosedSockets;  // deleted on the next turn
  std::string m_strListenError;
};

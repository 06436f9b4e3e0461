// A further serial line of the running loader (PORTS): its own port, reader
// wake-up, reconnects and diagnostic lines, so a line that fails or is unplugged
// disturbs no other. The engine runs the line's downloads.
#pragma once

#include "comm/CommPort.h"
#include "config/LoaderConfig.h"
#include "core/DownloadEngine.h"
#include "core/DownloadHost.h"
#include "runtime/PortDiagnosis.h"
#include "runtime/ReaderWakeUp.h"

#include <QObject>
#include <QTimer>

#include <iosfwd>
#include <string>
#include <string_view>

class LinePort : public QObject, private ICommEvents {
 public:
  /// Serves line with the settings every line shares in cfg (type, rate, dispatch)
  /// and opens it; a port that cannot be opened is retried while RECONNECT allows.
  LinePort(DownloadEngine& engine, const LoaderConfig& cfg, const SerialLineConfig& line,
           IMessageSink* messages, std::ostream& diag);
  /// The engine forgets the line (ending its download), then the port closes.
  ~LinePort() override;
  LinePort(const LinePort&) = delete;
  LinePort& operator=(const LinePort&) = delete;

  /// Whether cfg serves this line as it is: same name, device and shared settings.
  bool Serves(const LoaderConfig& cfg, const SerialLineConfig& line) const;
  /// RECONNECT changed on a reload; the line stays as it is.
  void SetReconnect(bool reconnect);
  const SerialLineConfig& Config() const noexcept { return m_line; }

 private:
  void OnCommRead() override;
  void OnCommMessage(std::string_view text) override;
  void OnCommFailure() override;
  void Open(bool again);
  /// The port is closed: say why, once per reason, and schedule the next attempt.
  void OnDown(bool wasOpen);
  void OnReconnectTimer();
  std::string Describe() const;

  DownloadEngine& m_engine;
  IMessageSink* m_messages;
  std::ostream& m_diag;
  SerialLineConfig m_line;
  LoaderConfig m_settings;  // the configuration the line was opened with
  CommPort m_port;
  ReaderWakeUp m_wake;
  QTimer m_reconnectTimer;
  ReconnectBackoff m_backoff;
  std::string m_shownReason;
};

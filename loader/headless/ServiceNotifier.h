// Tells systemd how the service is doing (sd_notify): ready once it serves,
// a status text with the running downloads, stopping, and watchdog pings from
// the event loop while the unit asks for them (WatchdogSec), so a loop that
// hangs gets the service restarted. Without $NOTIFY_SOCKET every call does nothing.
#pragma once

#include <QTimer>

#include <string>

class ServiceNotifier {
 public:
  /// Starts the watchdog pings when the unit set a watchdog interval for us.
  ServiceNotifier();
  ServiceNotifier(const ServiceNotifier&) = delete;
  ServiceNotifier& operator=(const ServiceNotifier&) = delete;

  /// READY=1 with a first status.
  void Ready(const std::string& status);
  /// STATUS=status, sent only when it changed.
  void Status(const std::string& status);
  /// STOPPING=1; the watchdog pings end.
  void Stopping();

 private:
  QTimer m_watchdog;
  std::string m_status;
};

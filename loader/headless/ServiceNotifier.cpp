// sd_notify messages and the watchdog's pings.
#include "headless/ServiceNotifier.h"

#include <systemd/sd-daemon.h>

#include <algorithm>
#include <cstdint>

ServiceNotifier::ServiceNotifier() {
  std::uint64_t usec = 0;
  if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0) return;
  // Twice per interval, as systemd recommends, so one late turn is not fatal.
  const auto intervalMs = std::max<std::uint64_t>(1, usec / 2000);
  m_watchdog.setInterval(static_cast<int>(std::min<std::uint64_t>(intervalMs, 1u << 30)));
  QObject::connect(&m_watchdog, &QTimer::timeout, [] { sd_notify(0, "WATCHDOG=1"); });
  m_watchdog.start();
}

void ServiceNotifier::Ready(const std::string& status) {
  m_status = status;
  sd_notify(0, ("READY=1\nSTATUS=" + status).c_str());
}

void ServiceNotifier::Status(const std::string& status) {
  if (status == m_status) return;
  m_status = status;
  sd_notify(0, ("STATUS=" + status).c_str());
}

void ServiceNotifier::Stopping() {
  m_watchdog.stop();
  sd_notify(0, "STOPPING=1");
}

// The HTTP endpoint for monitoring: GET /metrics (Prometheus text) and
// GET /healthz ("ok" while the server is serving), on Qt HttpServer.
#pragma once

#include <QHttpServer>

#include <cstdint>
#include <functional>
#include <string>

class MetricsServer {
 public:
  /// metrics: the exposition text of a scrape; healthy: whether /healthz says "ok".
  MetricsServer(std::function<std::string()> metrics, std::function<bool()> healthy);
  MetricsServer(const MetricsServer&) = delete;
  MetricsServer& operator=(const MetricsServer&) = delete;

  /// Listens on the numeric address and port (0 = any free one); false with
  /// ErrorString() set when it cannot.
  bool Listen(const std::string& address, std::uint16_t port);
  const std::string& ErrorString() const noexcept { return m_error; }
  /// The port bound, 0 when not listening.
  std::uint16_t Port() const noexcept { return m_port; }

 private:
  QHttpServer m_server;
  std::function<std::string()> m_metrics;
  std::function<bool()> m_healthy;
  std::string m_error;
  std::uint16_t m_port = 0;
};

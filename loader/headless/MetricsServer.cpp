// /metrics and /healthz over HTTP.
#include "headless/MetricsServer.h"

#include "headless/MetricsText.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponse>
#include <QTcpServer>

namespace {
constexpr const char* kHealthyText = "ok\n";
constexpr const char* kUnhealthyText = "not serving\n";
}  // namespace

MetricsServer::MetricsServer(std::function<std::string()> metrics, std::function<bool()> healthy)
    : m_metrics(std::move(metrics)), m_healthy(std::move(healthy)) {
  m_server.route("/metrics", QHttpServerRequest::Method::Get, [this] {
    const std::string text = m_metrics();
    return QHttpServerResponse(QByteArray(kMetricsContentType),
                               QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  });
  m_server.route("/healthz", QHttpServerRequest::Method::Get, [this] {
    const bool serving = m_healthy();
    return QHttpServerResponse(QByteArray("text/plain; charset=utf-8"),
                               QByteArray(serving ? kHealthyText : kUnhealthyText),
                               serving ? QHttpServerResponse::StatusCode::Ok
                                       : QHttpServerResponse::StatusCode::ServiceUnavailable);
  });
}

bool MetricsServer::Listen(const std::string& address, std::uint16_t port) {
  QHostAddress host;
  if (!host.setAddress(QString::fromStdString(address))) {
    m_error = "not a numeric address";
    return false;
  }
  auto* tcp = new QTcpServer(&m_server);
  if (!tcp->listen(host, port)) {
    m_error = tcp->errorString().toStdString();
    delete tcp;
    return false;
  }
  m_port = tcp->serverPort();
  m_server.bind(tcp);
  return true;
}

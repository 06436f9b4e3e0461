// A further serial line: its port, reconnects and diagnostic lines.
#include "runtime/LinePort.h"

#include "core/SerialSettings.h"
#include "runtime/ConfigChanges.h"

#include <ostream>

namespace {
constexpr const char* kTextNoDevice = "no device: name one in [Ports] ";
}  // namespace

LinePort::LinePort(DownloadEngine& engine, const LoaderConfig& cfg, const SerialLineConfig& line,
                   IMessageSink* messages, std::ostream& diag)
    : m_engine(engine),
      m_messages(messages),
      m_diag(diag),
      m_line(line),
      m_settings(cfg),
      m_wake(m_port, [this] { m_port.DispatchReaderEvent(*this); }) {
  m_port.m_port = line.port;
  m_port.m_portName = line.name;
  m_port.m_lineDevice = line.device;
  m_port.TakeLineSettings(cfg);
  // A line that takes nothing costs a frame and a warning, never a stall.
  m_port.SetWriteDropped([this](std::size_t) {
    m_diag << "warning: serial line " << m_line.name << ": " << CommPort::kWriteDroppedText
           << std::endl;
  });
  m_reconnectTimer.setSingleShot(true);
  QObject::connect(&m_reconnectTimer, &QTimer::timeout, this, [this] { OnReconnectTimer(); });
  m_engine.AddSerialLine(m_port);
  Open(false);
}

LinePort::~LinePort() {
  m_reconnectTimer.stop();
  m_engine.RemoveSerialLine(m_port);
  m_port.Close();
  m_port.SetWriteDropped({});
}

bool LinePort::Serves(const LoaderConfig& cfg, const SerialLineConfig& line) const {
  return line == m_line && !LineSettingsDiffer(m_settings, cfg);
}

void LinePort::SetReconnect(bool reconnect) {
  m_settings.reconnect = reconnect;
  if (!reconnect) {
    m_reconnectTimer.stop();
  } else if (!m_port.m_open && !m_line.device.empty() && !m_reconnectTimer.isActive()) {
    m_reconnectTimer.start(m_backoff.NextDelayMs());
  }
}

std::string LinePort::Describe() const {
  return DescribeSerialLine(m_settings, m_line);
}

void LinePort::Open(bool again) {
  if (m_line.device.empty()) {
    // Nothing to open and nothing to retry: the configuration has to name one.
    const std::string reason = kTextNoDevice + m_line.name + "=";
    m_engine.SetLineReason(m_port, reason);
    m_diag << "warning: serial line " << m_line.name << ": " << reason << std::endl;
    return;
  }
  if (!m_wake.Error().empty()) {
    m_engine.SetLineReason(m_port, m_wake.Error());
    m_diag << "warning: serial line " << Describe() << " refused: " << m_wake.Error() << std::endl;
    return;
  }
  m_port.Open();
  if (!m_port.m_open) return OnDown(false);
  m_backoff.Reset();
  m_shownReason.clear();
  m_engine.SetLineReason(m_port, {});
  m_diag << "info: serial line " << Describe() << (again ? " open again" : " open") << std::endl;
}

void LinePort::OnDown(bool wasOpen) {
  const std::string reason = DescribePortFailure(m_line.device, wasOpen);
  m_engine.SetLineReason(m_port, reason);
  const bool retry = m_settings.reconnect;
  if (reason != m_shownReason) {
    m_shownReason = reason;
    m_diag << "warning: serial line " << Describe() << ": " << reason
           << (retry ? "; trying again every 1 to 8 s" : "") << std::endl;
  }
  if (retry && !m_reconnectTimer.isActive()) m_reconnectTimer.start(m_backoff.NextDelayMs());
}

void LinePort::OnReconnectTimer() {
  if (m_port.m_open || !m_settings.reconnect) return;
  Open(true);
}

void LinePort::OnCommRead() {
  m_engine.OnCommRead(m_port);
}

void LinePort::OnCommMessage(std::string_view text) {
  if (m_messages != nullptr) m_messages->MessageBox(text);
}

void LinePort::OnCommFailure() {
  m_engine.OnLineFailure(m_port);
  OnDown(true);
}

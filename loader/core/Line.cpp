// A line of the engine and the events of its download.
#include "core/Line.h"

Line::Line(ILineOwner& owner, SerialChannel& serial, bool standalone)
    : m_owner(owner), m_serial(&serial), m_standalone(standalone) {
  m_progress.SetStep(1);
}

Line::Line(ILineOwner& owner, IConnection& connection)
    : m_owner(owner), m_connection(&connection), m_peer(connection.PeerName()) {
  m_progress.SetStep(1);
}

Download& Line::NewDownload(bool shared, const std::string& romDir, const std::string& bllDir) {
  IDownloadEvents& events = *this;
  m_download = std::make_unique<Download>(events, romDir, bllDir);
  m_shared = shared;
  return *m_download;
}

std::string Line::Via() const {
  return m_serial != nullptr ? "serial " + m_serial->m_portName : "tcp " + m_connection->PeerName();
}

void Line::SendFrame(std::span<const std::uint8_t> frame) {
  if (m_serial != nullptr) {
    m_serial->Write(frame);
  } else {
    m_connection->Send(frame);
  }
}

void Line::StatusChanged(Download& /*download*/) {
  m_owner.LineStatusChanged(*this);
}

void Line::ControlsChanged(Download& /*download*/, bool enable) {
  // The window's buttons belong to the shared download: one of a line's own leaves them alone.
  if (m_shared) m_owner.LineControlsChanged(*this, enable);
}

void Line::ProgressRange(Download& /*download*/, int lower, int upper) {
  if (!m_shared) m_progress.SetRange(lower, upper);
  m_owner.LineProgressRange(*this, lower, upper);
}

void Line::ProgressStep(Download& /*download*/) {
  if (!m_shared) m_progress.StepIt();
  m_owner.LineProgressStep(*this);
}

void Line::ProgressPos(Download& /*download*/, int pos) {
  if (!m_shared) m_progress.SetPos(pos);
  m_owner.LineProgressPos(*this, pos);
}

void Line::SerialWrite(std::span<const std::uint8_t> frame) {
  if (m_standalone) {
    m_serial->Write(frame);
    return;
  }
  m_owner.RomReply(frame);
}

bool Line::ModemMode() const {
  // A modem is a serial line's: only shared downloads reply through it.
  if (m_standalone) return m_serial->m_commType == kCommModem;
  return m_shared && m_owner.RomModemMode();
}

void Line::ClearModemLink() {
  if (m_standalone) {
    m_serial->m_connected = false;
    return;
  }
  if (m_shared) m_owner.ClearModemLink();
}

void Line::Started(Download& /*download*/) {
  m_owner.LineStarted(*this);
}

void Line::Ended(Download& /*download*/, SessionEnd why) {
  m_owner.LineEnded(*this, why);
}

void Line::FrameRejected(Download& /*download*/) {
  m_owner.LineFrameRejected(*this);
}

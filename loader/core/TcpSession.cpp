// A TCP connection's own BLL session.
#include "core/TcpSession.h"

#include "download/FileSelector.h"

#include <utility>

namespace {
class ConnectionReply : public IFrameSink {
 public:
  explicit ConnectionReply(IConnection& connection) : m_connection(connection) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_connection.Send(frame); }

 private:
  IConnection& m_connection;
};
}  // namespace

TcpSession::TcpSession(ITcpSessionOwner& owner, IConnection& connection, std::string bllDir)
    : m_owner(owner), m_connection(connection), m_peer(connection.PeerName()) {
  m_bllDir = std::move(bllDir);
  m_romState = kStateIdle;
  m_bllState = kStateIdle;
  m_progress.SetStep(1);
}

void TcpSession::OnFrame(std::span<const std::uint8_t> frame) {
  ConnectionReply reply(m_connection);
  if (m_bllState > kStateIdle) {
    ContinueBllSession(reply, frame);
  } else if (ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!IsBllRequest(frame)) return;  // dropped without a refresh, as at the dialog's idle
    StartBllSession(reply, frame);
  }
  UpdateData(false);
}

void TcpSession::End(SessionEnd why, const std::string& status) {
  if (!TransferRunning()) return;
  FinishTransfer(why);
  // Without a text of its own the status line keeps what it shows.
  if (status.empty()) return;
  m_status = status;
  UpdateData(false);
}

void TcpSession::UpdateData(bool saveAndValidate) {
  if (!saveAndValidate) m_owner.TcpSessionUpdated(*this);
}

void TcpSession::ProgressSetRange(int lower, int upper) {
  m_progress.SetRange(lower, upper);
  m_owner.TcpSessionProgress(*this);
}

void TcpSession::ProgressStepIt() {
  m_progress.StepIt();
  m_owner.TcpSessionProgress(*this);
}

void TcpSession::ProgressSetPos(int pos) {
  m_progress.SetPos(pos);
  m_owner.TcpSessionProgress(*this);
}

void TcpSession::SerialWrite(std::span<const std::uint8_t> frame) {
  m_owner.TcpSessionSerialWrite(frame);
}

void TcpSession::OnSessionStarted() {
  m_owner.TcpSessionStarted(*this);
}

void TcpSession::OnSessionEnded(SessionEnd why) {
  m_owner.TcpSessionEnded(*this, why);
}

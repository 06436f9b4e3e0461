// A TCP connection's own BLL session.
#include "core/TcpSession.h"

#include "download/FileSelector.h"

#include <utility>

namespace {
class CConnectionReply : public IFrameSink {
 public:
  explicit CConnectionReply(IConnection& connection) : m_Connection(connection) {}
  void SendFrame(std::span<const std::uint8_t> frame) override { m_Connection.Send(frame); }

 private:
  IConnection& m_Connection;
};
}  // namespace

CTcpSession::CTcpSession(ITcpSessionOwner& owner, IConnection& connection, std::string bllDir)
    : m_Owner(owner), m_Connection(connection), m_strPeer(connection.PeerName()) {
  m_strBllDir = std::move(bllDir);
  m_nRomState = kStateIdle;
  m_nBllState = kStateIdle;
  m_Progress.SetStep(1);
}

void CTcpSession::OnFrame(std::span<const std::uint8_t> frame) {
  CConnectionReply reply(m_Connection);
  if (m_nBllState > kStateIdle) {
    ContinueBllSession(reply, frame);
  } else if (ByteAt(frame, 0) == kBllStart && ByteAt(frame, 1) == kCmdRequest) {
    if (!IsBllRequest(frame)) return;  // dropped without a refresh, as at the dialog's idle
    StartBllSession(reply, frame);
  }
  UpdateData(false);
}

void CTcpSession::End(SessionEnd why, const std::string& status) {
  if (!TransferRunning()) return;
  FinishTransfer(why);
  // Without a text of its own the status line keeps what it shows.
  if (status.empty()) return;
  m_strStatus = status;
  UpdateData(false);
}

void CTcpSession::UpdateData(bool bSaveAndValidate) {
  if (!bSaveAndValidate) m_Owner.TcpSessionUpdated(*this);
}

void CTcpSession::ProgressSetRange(int nLower, int nUpper) {
  m_Progress.SetRange(nLower, nUpper);
  m_Owner.TcpSessionProgress(*this);
}

void CTcpSession::ProgressStepIt() {
  m_Progress.StepIt();
  m_Owner.TcpSessionProgress(*this);
}

void CTcpSession::ProgressSetPos(int nPos) {
  m_Progress.SetPos(nPos);
  m_Owner.TcpSessionProgress(*this);
}

void CTcpSession::SerialWrite(std::span<const std::uint8_t> frame) {
  m_Owner.TcpSessionSerialWrite(frame);
}

void CTcpSession::OnSessionStarted() {
  m_Owner.TcpSessionStarted(*this);
}

void CTcpSession::OnSessionEnded(SessionEnd why) {
  m_Owner.TcpSessionEnded(*this, why);
}

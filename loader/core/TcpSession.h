// A BLL session of one TCP connection of its own (CONCURRENT=1): its own file,
// block size, counters and replies. Its status text and progress go to an
// owner, which decides whether the dialog's single-session fields show them.
#pragma once

#include "comm/Connection.h"
#include "core/ProgressState.h"
#include "download/DownloadSession.h"

#include <cstdint>
#include <span>
#include <string>

class CTcpSession;

/// What a connection's own session reports to the dialog that holds it.
class ITcpSessionOwner {
 public:
  virtual ~ITcpSessionOwner() = default;
  /// The session's status text changed (or is to be shown again).
  virtual void TcpSessionUpdated(CTcpSession& session) = 0;
  /// One progress-bar operation of the session, already applied to its Progress().
  virtual void TcpSessionProgress(CTcpSession& session) = 0;
  virtual void TcpSessionStarted(CTcpSession& session) = 0;
  virtual void TcpSessionEnded(CTcpSession& session, SessionEnd why) = 0;
  /// ROM requests never start a connection's own session, but the interface asks.
  virtual void TcpSessionSerialWrite(std::span<const std::uint8_t> frame) = 0;
  /// The session answered a frame with a reject frame.
  virtual void TcpSessionFrameRejected() {}
};

class CTcpSession : public CDownloadSession {
 public:
  CTcpSession(ITcpSessionOwner& owner, IConnection& connection, std::string bllDir);

  /// Answers a frame from the connection: a BLL request while idle, every
  /// frame while a transfer runs; anything else only refreshes. Replies go back
  /// on the connection.
  void OnFrame(std::span<const std::uint8_t> frame);
  /// Ends a running transfer for why, with status (when not empty) shown first.
  void End(SessionEnd why, const std::string& status = {});

  IConnection& Connection() const noexcept { return m_Connection; }
  /// The connection's peer, taken once (it is reported with every block).
  const std::string& Peer() const noexcept { return m_strPeer; }
  const CProgressState& Progress() const noexcept { return m_Progress; }

  void UpdateData(bool bSaveAndValidate) override;
  /// The dialog's buttons belong to its single session: a connection's own
  /// session leaves them alone.
  void EnableControls(bool /*bEnable*/) override {}

  std::int64_t m_nStartMs = 0;      // when the start reply went out
  std::int64_t m_nLastFrameMs = 0;  // when the connection last sent a frame of the session

 protected:
  void ProgressSetRange(int nLower, int nUpper) override;
  void ProgressStepIt() override;
  void ProgressSetPos(int nPos) override;
  void SerialWrite(std::span<const std::uint8_t> frame) override;
  bool ModemMode() const override { return false; }
  /// The modem link belongs to the serial channel.
  void ClearModemLink() override {}
  void OnSessionStarted() override;
  void OnSessionEnded(SessionEnd why) override;
  void OnFrameRejected() override { m_Owner.TcpSessionFrameRejected(); }

 private:
  ITcpSessionOwner& m_Owner;
  IConnection& m_Connection;
  std::string m_strPeer;
  CProgressState m_Progress;
};

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

class TcpSession;

/// What a connection's own session reports to the dialog that holds it.
class ITcpSessionOwner {
 public:
  virtual ~ITcpSessionOwner() = default;
  /// The session's status text changed (or is to be shown again).
  virtual void TcpSessionUpdated(TcpSession& session) = 0;
  /// One progress-bar operation of the session, already applied to its Progress().
  virtual void TcpSessionProgress(TcpSession& session) = 0;
  virtual void TcpSessionStarted(TcpSession& session) = 0;
  virtual void TcpSessionEnded(TcpSession& session, SessionEnd why) = 0;
  /// ROM requests never start a connection's own session, but the interface asks.
  virtual void TcpSessionSerialWrite(std::span<const std::uint8_t> frame) = 0;
  /// The session answered a frame with a reject frame.
  virtual void TcpSessionFrameRejected() {}
};

class TcpSession : public DownloadSession {
 public:
  TcpSession(ITcpSessionOwner& owner, IConnection& connection, std::string bllDir);

  /// Answers a frame from the connection: a BLL request while idle, every
  /// frame while a transfer runs; anything else only refreshes. Replies go back
  /// on the connection.
  void OnFrame(std::span<const std::uint8_t> frame);
  /// Ends a running transfer for why, with status (when not empty) shown first.
  void End(SessionEnd why, const std::string& status = {});

  IConnection& Connection() const noexcept { return m_connection; }
  /// The connection's peer, taken once (it is reported with every block).
  const std::string& Peer() const noexcept { return m_peer; }
  const ProgressState& Progress() const noexcept { return m_progress; }

  void UpdateData(bool saveAndValidate) override;
  /// The dialog's buttons belong to its single session: a connection's own
  /// session leaves them alone.
  void EnableControls(bool /*enable*/) override {}

  std::int64_t m_startMs = 0;      // when the start reply went out
  std::int64_t m_lastFrameMs = 0;  // when the connection last sent a frame of the session

 protected:
  void ProgressSetRange(int lower, int upper) override;
  void ProgressStepIt() override;
  void ProgressSetPos(int pos) override;
  void SerialWrite(std::span<const std::uint8_t> frame) override;
  bool ModemMode() const override { return false; }
  /// The modem link belongs to the serial channel.
  void ClearModemLink() override {}
  void OnSessionStarted() override;
  void OnSessionEnded(SessionEnd why) override;
  void OnFrameRejected() override { m_owner.TcpSessionFrameRejected(); }

 private:
  ITcpSessionOwner& m_owner;
  IConnection& m_connection;
  std::string m_peer;
  ProgressState m_progress;
};

// The line between the simulated terminal and the loader: a serial device, a
// pseudo-terminal the simulator creates, or a TCP connection. All reads are
// bounded by a time-out; every descriptor is closed by its owner.
#pragma once

#include "Frames.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace termsim {

using Millis = std::chrono::milliseconds;

/// Outcome of one bounded read.
enum class ReadStatus { Data, Timeout, Closed, Error };

/// A byte line to the loader.
class ITransport {
 public:
  virtual ~ITransport() = default;
  /// Writes all bytes, in one write call where the line takes them at once
  /// (the loader reads one frame per receive on TCP). false on error, with LastError().
  virtual bool Send(std::span<const std::uint8_t> bytes) = 0;
  /// Waits at most timeout for bytes and appends what arrived to out.
  virtual ReadStatus Receive(Bytes& out, Millis timeout) = 0;
  /// What the line is, for messages ("pty /dev/pts/4", "tcp 127.0.0.1:7000").
  virtual std::string Describe() const = 0;
  /// Reason of the last failure.
  virtual std::string LastError() const = 0;
};

/// A transport on one file descriptor (serial line, pty master or socket), which it owns.
class CFdTransport : public ITransport {
 public:
  /// isSocket: writes use send() without SIGPIPE when the peer has gone.
  CFdTransport(int fd, std::string description, bool isSocket = false) noexcept;
  ~CFdTransport() override;
  CFdTransport(const CFdTransport&) = delete;
  CFdTransport& operator=(const CFdTransport&) = delete;

  bool Send(std::span<const std::uint8_t> bytes) override;
  ReadStatus Receive(Bytes& out, Millis timeout) override;
  std::string Describe() const override { return m_strDescription; }
  std::string LastError() const override { return m_strLastError; }

 protected:
  int Fd() const noexcept { return m_nFd; }
  void SetError(std::string text) { m_strLastError = std::move(text); }

 private:
  int m_nFd;
  bool m_bIsSocket;
  std::string m_strDescription;
  std::string m_strLastError;
};

/// A pseudo-terminal made by the simulator. The loader opens SlavePath(); the
/// simulator talks on the master. It keeps a raw-mode slave descriptor of its own
/// open so the line neither echoes nor hangs up before (or between) the loader's opens.
class CPtyTransport : public CFdTransport {
 public:
  /// Creates the pair; nullptr (and a reason in error) on failure.
  static std::unique_ptr<CPtyTransport> Create(std::string& error);
  ~CPtyTransport() override;
  const std::string& SlavePath() const noexcept { return m_strSlavePath; }
  /// Closes the simulator's own slave descriptor: the master then sees the line
  /// drop once the loader closes its side as well.
  void ReleaseSlave() noexcept;

 private:
  CPtyTransport(int master, int slave, std::string slavePath);
  int m_nSlave;
  std::string m_strSlavePath;
};

/// Sends on one line and receives on another, e.g. a ROM request over TCP whose
/// replies come on the serial line. Holds references; both lines must outlive it.
class CSplitTransport : public ITransport {
 public:
  CSplitTransport(ITransport& sendLine, ITransport& receiveLine) noexcept
      : m_Send(sendLine), m_Receive(receiveLine) {}
  bool Send(std::span<const std::uint8_t> bytes) override { return m_Send.Send(bytes); }
  ReadStatus Receive(Bytes& out, Millis timeout) override {
    return m_Receive.Receive(out, timeout);
  }
  std::string Describe() const override {
    return "sent on " + m_Send.Describe() + ", answered on " + m_Receive.Describe();
  }
  std::string LastError() const override {
    return m_Send.LastError().empty() ? m_Receive.LastError() : m_Send.LastError();
  }

 private:
  ITransport& m_Send;
  ITransport& m_Receive;
};

/// Opens a serial device (e.g. a pty slave the caller made) raw 8N1 at baud bit/s.
std::unique_ptr<ITransport> OpenSerialDevice(const std::string& path, int baud, std::string& error);

/// Connects to host:port over TCP (no Nagle delay), waiting at most timeout.
std::unique_ptr<ITransport> ConnectTcp(const std::string& host, int port, Millis timeout,
                                       std::string& error);

}  // namespace termsim

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
class FdTransport : public ITransport {
 public:
  /// isSocket: writes use send() without SIGPIPE when the peer has gone.
  FdTransport(int fd, std::string description, bool isSocket = false) noexcept;
  ~FdTransport() override;
  FdTransport(const FdTransport&) = delete;
  FdTransport& operator=(const FdTransport&) = delete;

  bool Send(std::span<const std::uint8_t> bytes) override;
  ReadStatus Receive(Bytes& out, Millis timeout) override;
  std::string Describe() const override { return m_description; }
  std::string LastError() const override { return m_lastError; }

 protected:
  int Fd() const noexcept { return m_fd; }
  void SetError(std::string text) { m_lastError = std::move(text); }

 private:
  int m_fd;
  bool m_isSocket;
  std::string m_description;
  std::string m_lastError;
};

/// A pseudo-terminal made by the simulator. The loader opens SlavePath(); the
/// simulator talks on the master. It keeps a raw-mode slave descriptor of its own
/// open so the line neither echoes nor hangs up before (or between) the loader's opens.
class PtyTransport : public FdTransport {
 public:
  /// Creates the pair; nullptr (and a reason in error) on failure.
  static std::unique_ptr<PtyTransport> Create(std::string& error);
  ~PtyTransport() override;
  const std::string& SlavePath() const noexcept { return m_slavePath; }
  /// Closes the simulator's own slave descriptor: the master then sees the line
  /// drop once the loader closes its side as well.
  void ReleaseSlave() noexcept;

 private:
  PtyTransport(int master, int slave, std::string slavePath);
  int m_slave;
  std::string m_slavePath;
};

/// Sends on one line and receives on another, e.g. a ROM request over TCP whose
/// replies come on the serial line. Holds references; both lines must outlive it.
class SplitTransport : public ITransport {
 public:
  SplitTransport(ITransport& sendLine, ITransport& receiveLine) noexcept
      : m_send(sendLine), m_receive(receiveLine) {}
  bool Send(std::span<const std::uint8_t> bytes) override { return m_send.Send(bytes); }
  ReadStatus Receive(Bytes& out, Millis timeout) override {
    return m_receive.Receive(out, timeout);
  }
  std::string Describe() const override {
    return "sent on " + m_send.Describe() + ", answered on " + m_receive.Describe();
  }
  std::string LastError() const override {
    return m_send.LastError().empty() ? m_receive.LastError() : m_send.LastError();
  }

 private:
  ITransport& m_send;
  ITransport& m_receive;
};

/// Opens a serial device (e.g. a pty slave the caller made) raw 8N1 at baud bit/s.
std::unique_ptr<ITransport> OpenSerialDevice(const std::string& path, int baud, std::string& error);

/// Connects to host:port over TCP (no Nagle delay), waiting at most timeout.
std::unique_ptr<ITransport> ConnectTcp(const std::string& host, int port, Millis timeout,
                                       std::string& error);

}  // namespace termsim

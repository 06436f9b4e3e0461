// Lock-step download clients on non-blocking sockets: a TFTP read with the
// blksize option, and a BLL download over TCP. Each asks for one file, then
// answers every block with its acknowledgement as soon as it arrives, and keeps
// what arrived for a byte-for-byte comparison.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

using BenchClock = std::chrono::steady_clock;

enum class DownloadState { Running, Done, Failed };

/// What every client of one run downloads, and from where.
struct DownloadTarget {
  sockaddr_in server{};
  std::string fileName;                 // as the client asks for it
  std::span<const std::uint8_t> image;  // the bytes that must arrive
  int blockSize = 256;
};

class DownloadClient {
 public:
  explicit DownloadClient(const DownloadTarget& target) : m_target(target) {}
  virtual ~DownloadClient();
  DownloadClient(const DownloadClient&) = delete;
  DownloadClient& operator=(const DownloadClient&) = delete;

  /// Opens a new socket and asks for the file; Failed when it cannot.
  virtual DownloadState Begin() = 0;
  /// The socket is readable or writable (epoll events).
  virtual DownloadState OnEvents(std::uint32_t events) = 0;
  /// Nothing arrived for a while: a datagram client sends its last packet again.
  virtual void Resend() {}
  /// The epoll events the client waits for now.
  virtual std::uint32_t WantedEvents() const = 0;

  int Fd() const noexcept { return m_fd; }
  /// Closes the socket of the last download.
  void Close();
  /// True when what arrived equals the image byte for byte.
  bool Matches() const;

  BenchClock::time_point m_started{};
  BenchClock::time_point m_lastHeard{};

 protected:
  const DownloadTarget& m_target;
  int m_fd = -1;
  std::vector<std::uint8_t> m_received;
};

std::unique_ptr<DownloadClient> MakeTftpClient(const DownloadTarget& target);
std::unique_ptr<DownloadClient> MakeBllClient(const DownloadTarget& target);

// A pseudo-terminal pair for tests of the serial channel: the test holds the
// master (the terminal's end); the channel opens the slave by its path.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

class PtyPair {
 public:
  PtyPair() {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
      throw std::runtime_error("openpty failed");
    m_master = master;
    m_slave = slave;  // kept open so the master never sees EIO between channel opens
    m_path = ::ttyname(slave);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
  }
  ~PtyPair() {
    CloseMaster();
    if (m_slave >= 0) ::close(m_slave);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& Path() const { return m_path; }
  int Master() const { return m_master; }
  /// Unplugs the "device": the channel's side gets a hang-up.
  void CloseMaster() {
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
  }

  /// Writes all bytes to the master (blocking).
  void Send(std::span<const std::uint8_t> data) const {
    std::size_t done = 0;
    while (done < data.size()) {
      const ssize_t n = ::write(m_master, data.data() + done, data.size() - done);
      if (n <= 0) throw std::runtime_error("pty write failed");
      done += static_cast<std::size_t>(n);
    }
  }
  void Send(const std::string& text) const {
    Send({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  }

  /// Reads from the master until count bytes arrived or timeoutMs passed.
  std::vector<std::uint8_t> Receive(std::size_t count, int timeoutMs = 5000) const {
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            deadline - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) break;
      pollfd pfd{m_master, POLLIN, 0};
      if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
      std::uint8_t buf[4096];
      const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - out.size()));
      if (n <= 0) break;
      out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

 private:
  int m_master = -1;
  int m_slave = -1;
  std::string m_path;
};

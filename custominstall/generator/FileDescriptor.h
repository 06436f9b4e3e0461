// One owned file descriptor of the generator (RAII); Close reports whether it closed cleanly.
#pragma once

#include <unistd.h>

#include <utility>

class CFileDescriptor {
 public:
  CFileDescriptor() noexcept = default;
  explicit CFileDescriptor(int fd) noexcept : m_nFd(fd) {}
  CFileDescriptor(const CFileDescriptor&) = delete;
  CFileDescriptor& operator=(const CFileDescriptor&) = delete;
  CFileDescriptor(CFileDescriptor&& other) noexcept : m_nFd(std::exchange(other.m_nFd, -1)) {}
  CFileDescriptor& operator=(CFileDescriptor&& other) noexcept {
    if (this != &other) {
      static_cast<void>(Close());
      m_nFd = std::exchange(other.m_nFd, -1);
    }
    return *this;
  }
  ~CFileDescriptor() { static_cast<void>(Close()); }

  bool IsOpen() const noexcept { return m_nFd >= 0; }
  int Get() const noexcept { return m_nFd; }

  /// close is not retried on EINTR: the descriptor is gone either way on Linux.
  bool Close() noexcept {
    if (m_nFd < 0) {
      return true;
    }
    const int result = ::close(m_nFd);
    m_nFd = -1;
    return result == 0;
  }

 private:
  int m_nFd = -1;
};

// Owning wrapper of a POSIX file descriptor for the generator: closed exactly once,
// never copied; the same shape as the loader's, plus a Close that reports the result
// (a file is only written when its close succeeded).
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
      Reset(std::exchange(other.m_nFd, -1));
    }
    return *this;
  }
  ~CFileDescriptor() { Reset(); }

  int Get() const noexcept { return m_nFd; }
  bool Valid() const noexcept { return m_nFd >= 0; }
  /// Closes the held descriptor (if any) and takes fd. close() is not retried on EINTR:
  /// on Linux the descriptor is gone either way.
  void Reset(int fd = -1) noexcept {
    static_cast<void>(Close());
    m_nFd = fd;
  }
  /// Closes the held descriptor; false when close() reported an error.
  bool Close() noexcept {
    if (m_nFd < 0) {
      return true;
    }
    const int result = ::close(std::exchange(m_nFd, -1));
    return result == 0;
  }

 private:
  int m_nFd = -1;
};

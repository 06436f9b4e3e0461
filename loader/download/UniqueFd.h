// Owning wrapper of a POSIX file descriptor: closed exactly once, never copied.
// Kept in the lowest layer that opens descriptors (image files); the layers
// above use the same one.
#pragma once

#include <unistd.h>

#include <utility>

class CUniqueFd {
 public:
  CUniqueFd() noexcept = default;
  explicit CUniqueFd(int fd) noexcept : m_nFd(fd) {}
  CUniqueFd(const CUniqueFd&) = delete;
  CUniqueFd& operator=(const CUniqueFd&) = delete;
  CUniqueFd(CUniqueFd&& other) noexcept : m_nFd(std::exchange(other.m_nFd, -1)) {}
  CUniqueFd& operator=(CUniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_nFd, -1));
    return *this;
  }
  ~CUniqueFd() { Reset(); }

  int Get() const noexcept { return m_nFd; }
  bool Valid() const noexcept { return m_nFd >= 0; }
  explicit operator bool() const noexcept { return Valid(); }
  /// Closes the held descriptor (if any) and takes fd. close() is not retried
  /// on EINTR: on Linux the descriptor is gone either way.
  void Reset(int fd = -1) noexcept {
    if (m_nFd >= 0) ::close(m_nFd);
    m_nFd = fd;
  }
  /// Closes now and reports whether close succeeded (it can report a late write error).
  bool Close() noexcept {
    const int fd = std::exchange(m_nFd, -1);
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int m_nFd = -1;
};

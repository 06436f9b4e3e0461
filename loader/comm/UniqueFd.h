// Owning wrapper of a POSIX file descriptor: closed exactly once, never copied.
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
  /// Closes the held descriptor (if any) and takes fd. close() is not retried
  /// on EINTR: on Linux the descriptor is gone either way.
  void Reset(int fd = -1) noexcept {
    if (m_nFd >= 0) ::close(m_nFd);
    m_nFd = fd;
  }

private:
  int m_nFd = -1;
};

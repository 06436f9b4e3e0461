// Owning wrapper of a POSIX file descriptor for the generator: closed exactly once,
// never copied; the same shape as the loader's, plus a Close that reports the result
// (a file is only written when its close succeeded).
#pragma once

#include <unistd.h>

#include <utility>

class FileDescriptor {
 public:
  FileDescriptor() noexcept = default;
  explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      Reset(std::exchange(other.m_fd, -1));
    }
    return *this;
  }
  ~FileDescriptor() { Reset(); }

  int Get() const noexcept { return m_fd; }
  bool Valid() const noexcept { return m_fd >= 0; }
  /// Closes the held descriptor (if any) and takes fd. close() is not retried on EINTR:
  /// on Linux the descriptor is gone either way.
  void Reset(int fd = -1) noexcept {
    static_cast<void>(Close());
    m_fd = fd;
  }
  /// Closes the held descriptor; false when close() reported an error.
  bool Close() noexcept {
    if (m_fd < 0) {
      return true;
    }
    const int result = ::close(std::exchange(m_fd, -1));
    return result == 0;
  }

 private:
  int m_fd = -1;
};

// Writing one generated file whole: create or truncate, one write, checked close.
#include "generator/TextFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "generator/GeneratorTexts.h"
#include "settings/Validation.h"

namespace {

// Owns one file descriptor; Close reports whether the data reached the file.
class CFileDescriptor {
 public:
  explicit CFileDescriptor(int fd) noexcept : fd_(fd) {}
  CFileDescriptor(const CFileDescriptor&) = delete;
  CFileDescriptor& operator=(const CFileDescriptor&) = delete;
  ~CFileDescriptor() { static_cast<void>(Close()); }

  bool IsOpen() const noexcept { return fd_ >= 0; }
  int Get() const noexcept { return fd_; }

  // close is not retried on EINTR: the descriptor is gone either way on Linux.
  bool Close() noexcept {
    if (fd_ < 0) {
      return true;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
  }

 private:
  int fd_;
};

// The package is meant for Windows, where a read-only file refuses every writer;
// root would otherwise overwrite it here.
bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool WriteAll(int fd, std::span<const char> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    if (written == 0) {
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

WriteResult WriteWholeFile(const std::string& path, std::span<const char> bytes) {
  if (IsReadOnlyFile(path)) {
    return WriteResult::OpenFailed;
  }
  // O_NONBLOCK: a FIFO in the way fails at once instead of hanging the run; it does
  // not change how regular files are written.
  CFileDescriptor file(
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
  if (!file.IsOpen()) {
    return WriteResult::OpenFailed;
  }
  const bool written = WriteAll(file.Get(), bytes);
  const bool closed = file.Close();
  return written && closed ? WriteResult::Written : WriteResult::WriteFailed;
}

namespace {
bool ShowOpenFailure(IMessageBox& box, MessageIcon icon) {
  box.Show(kCouldNotOpenFileText, "", icon, MessageButtons::Ok, false);
  return false;
}
}  // namespace

bool WriteGeneratedFile(const std::string& path, std::span<const char> bytes, IMessageBox& box,
                        MessageIcon openFailureIcon) {
  switch (WriteWholeFile(path, bytes)) {
    case WriteResult::Written:
      return true;
    case WriteResult::OpenFailed:
      return ShowOpenFailure(box, openFailureIcon);
    case WriteResult::WriteFailed:
      // Reported by the run's own failure message; the file is incomplete.
      return false;
  }
  return false;
}

bool WritePackageFile(const PackageSettings& settings, const std::string& fileName,
                      std::span<const char> bytes, IMessageBox& box, MessageIcon openFailureIcon) {
  if (!IsFileNameStem(fileName)) {
    return ShowOpenFailure(box, openFailureIcon);
  }
  return WriteGeneratedFile(settings.OutputPath(fileName), bytes, box, openFailureIcon);
}

// Writing one generated file whole: a temporary file in the same folder, renamed over the target.
#include "generator/TextFileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string_view>

#include "generator/FileDescriptor.h"
#include "generator/GeneratorTexts.h"
#include "settings/Validation.h"

namespace {

// The run stops at its first failure, so one pending failure per thread is enough.
thread_local std::string t_strWriteFailure;

// The package is meant for Windows, where a read-only file refuses every writer;
// root would otherwise replace it here. A symlink is not looked through: it is replaced.
bool IsReadOnlyFile(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
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
      errno = EIO;  // a device that takes nothing would otherwise loop for ever
      return false;
    }
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

// The folder part of path, with its separator ("" for a bare name).
std::string_view FolderOf(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

// A new file of a name no one else uses, next to the target (so the rename stays on one
// file system). O_EXCL: never an existing file, never through a symlink.
FileDescriptor CreateTemporary(const std::string& path, std::string& tempPath) {
  static std::atomic<unsigned> s_counter{0};
  const std::string_view folder = FolderOf(path);
  const std::string_view name = std::string_view(path).substr(folder.size());
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = std::string(folder) + "." + std::string(name) + ".tmp" + std::to_string(::getpid()) +
               "-" + std::to_string(++s_counter);
    FileDescriptor fd(::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Valid() || errno != EEXIST) {
      return fd;
    }
  }
  return FileDescriptor();
}

WriteResult Fail(WriteResult result, SystemError& error, const std::string& path, int code) {
  error = {path, code};
  return result;
}

}  // namespace

WriteResult WriteWholeFile(const std::string& path, std::span<const char> bytes,
                           SystemError& error) {
  if (IsReadOnlyFile(path)) {
    return Fail(WriteResult::OpenFailed, error, path, EACCES);
  }
  std::string tempPath;
  FileDescriptor file = CreateTemporary(path, tempPath);
  if (!file.Valid()) {
    return Fail(WriteResult::OpenFailed, error, path, errno);
  }
  const bool written = WriteAll(file.Get(), bytes);
  const int writeError = errno;
  const bool closed = file.Close();
  if (!written || !closed) {
    const int code = written ? errno : writeError;
    ::unlink(tempPath.c_str());
    return Fail(WriteResult::WriteFailed, error, path, code);
  }
  // rename replaces what stands at path (file, symlink, FIFO) without opening it; only
  // a folder in the way, or a folder that takes no changes, stops it.
  if (::rename(tempPath.c_str(), path.c_str()) != 0) {
    const int code = errno;
    ::unlink(tempPath.c_str());
    return Fail(WriteResult::OpenFailed, error, path, code);
  }
  return WriteResult::Written;
}

namespace {
bool ShowOpenFailure(IMessageBox& box, MessageIcon icon, const SystemError& error) {
  box.Show(kCouldNotOpenFileText, "", icon, MessageButtons::Ok, false, error.Describe());
  return false;
}
}  // namespace

bool WriteGeneratedFile(const std::string& path, std::span<const char> bytes, IMessageBox& box,
                        MessageIcon openFailureIcon) {
  SystemError error;
  switch (WriteWholeFile(path, bytes, error)) {
    case WriteResult::Written:
      return true;
    case WriteResult::OpenFailed:
      return ShowOpenFailure(box, openFailureIcon, error);
    case WriteResult::WriteFailed:
      // Reported by the run's own failure message; the target is left as it was.
      NoteWriteFailure(error.Describe());
      return false;
  }
  return false;
}

bool WritePackageFile(const PackageSettings& settings, const std::string& fileName,
                      std::span<const char> bytes, IMessageBox& box, MessageIcon openFailureIcon) {
  if (!IsFileNameStem(fileName)) {
    return ShowOpenFailure(box, openFailureIcon, {settings.OutputPath(fileName), EINVAL});
  }
  return WriteGeneratedFile(settings.OutputPath(fileName), bytes, box, openFailureIcon);
}

std::string TakeWriteFailure() {
  std::string detail;
  detail.swap(t_strWriteFailure);
  return detail;
}

void NoteWriteFailure(std::string detail) {
  t_strWriteFailure = std::move(detail);
}

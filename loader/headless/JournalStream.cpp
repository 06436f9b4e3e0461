// Journal stream detection and line priorities.
#include "headless/JournalStream.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdlib>
#include <string>

bool IsJournalStream(int fd) {
  const char* env = std::getenv("JOURNAL_STREAM");
  if (env == nullptr) return false;
  const std::string_view text(env);
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  const auto dev = std::from_chars(text.data(), text.data() + colon, device);
  const auto ino = std::from_chars(text.data() + colon + 1, text.data() + text.size(), inode);
  if (dev.ec != std::errc() || dev.ptr != text.data() + colon || ino.ec != std::errc() ||
      ino.ptr != text.data() + text.size()) {
    return false;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  return static_cast<unsigned long long>(info.st_dev) == device &&
         static_cast<unsigned long long>(info.st_ino) == inode;
}

bool IsProgressLine(std::string_view line) {
  return line.starts_with("progress: ") || line.starts_with("session: ");
}

int LinePriority(std::string_view line) {
  if (line.starts_with("error:")) return kPriorityError;
  if (line.starts_with("warning:") || line.starts_with("failed:") || line.starts_with("message:")) {
    return kPriorityWarning;
  }
  if (IsProgressLine(line)) return kPriorityDebug;
  return kPriorityInfo;
}

// Reading image files block by block, and opening them only inside their folder.
#include "download/ImageFile.h"

#include "download/Frame.h"
#include "download/OpenBeneath.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

std::int64_t GetFileSize(int fd) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

void ReadBlock(int fd, std::int64_t offset, std::span<std::uint8_t> dst) {
  std::size_t got = 0;
  while (fd >= 0 && offset >= 0 && got < dst.size()) {
    const ssize_t n = ::pread(fd, dst.data() + got, dst.size() - got,
                              static_cast<off_t>(offset) + static_cast<off_t>(got));
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      break;  // end of file (it may have shrunk since it was measured) or a read error
    }
  }
  std::fill(dst.begin() + static_cast<std::ptrdiff_t>(got), dst.end(), std::uint8_t{0xFF});
}

std::uint16_t ImageChecksum(int fd, std::int64_t size) {
  if (size <= 0) return 0;
  // A counter that grows by 2 per word while below W = size / 2 covers ceil(W / 2)
  // words: only the first half of the image counts. Terminals expect exactly this.
  const std::int64_t words = size / 2;
  std::int64_t bytes = ((words + 1) / 2) * 2;
  if (size % 2 != 0) ++bytes;  // the odd byte after those words, as a word with high byte 0

  std::array<std::uint8_t, 4096> chunk{};
  std::uint16_t sum = 0;
  for (std::int64_t pos = 0; pos < bytes;) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(bytes - pos, chunk.size()));
    const std::span<std::uint8_t> part(chunk.data(), want);
    ReadBlock(fd, pos, part);
    // Every chunk but the last has an even length, so word halves line up.
    sum ^= BlockChecksum(part);
    pos += static_cast<std::int64_t>(want);
  }
  return sum;
}

namespace {
constexpr const char* kRefusedOutside = "outside the folder";
constexpr const char* kRefusedNotPlain = "not a plain file name";
constexpr const char* kRefusedNotRegular = "not a regular file";
constexpr const char* kRefusedPermission = "permission denied";

std::string RefusalOfErrno(int error, const std::string& folder) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return "not found in " + folder;
    case EACCES:
    case EPERM:
      return kRefusedPermission;
    case EXDEV:
    case ELOOP:
      return kRefusedOutside;  // the kernel refused a way out of the folder
    case ENXIO:
    case EISDIR:
      return kRefusedNotRegular;
    default:
      return std::strerror(error);
  }
}

bool IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || c == '/' || c == '\\';
  });
}
}  // namespace

UniqueFd OpenImageInDir(const std::string& dir, std::string_view name) {
  std::string why;
  return OpenImageInDir(dir, name, why);
}

UniqueFd OpenImageInDir(const std::string& dir, std::string_view name, std::string& why) {
  const std::string folderName = dir.empty() ? "." : dir;
  if (!IsPlainName(name)) {
    const bool path =
        name == "." || name == ".." || name.find_first_of("/\\") != std::string_view::npos;
    why = path ? kRefusedOutside : kRefusedNotPlain;
    return {};
  }
  UniqueFd folder(::open(folderName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!folder) {
    why = errno == ENOENT || errno == ENOTDIR ? "not found in " + folderName + " (no such folder)"
                                              : RefusalOfErrno(errno, folderName);
    return {};
  }
  // Non-blocking, so a FIFO swapped in cannot hold the open; it is refused below.
  UniqueFd fd = OpenBeneath(folder.Get(), name, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (!fd) {
    why = RefusalOfErrno(errno, folderName);
    return {};
  }
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    why = RefusalOfErrno(errno, folderName);
    return {};
  }
  if (!S_ISREG(st.st_mode)) {
    why = kRefusedNotRegular;
    return {};
  }
  return fd;
}

// Reading image files block by block, and opening them only inside their folder.
#include "download/ImageFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::int64_t GetFileSize(std::FILE* fp) {
  if (fp == nullptr || fseeko(fp, 0, SEEK_END) != 0) return -1;
  const off_t size = ftello(fp);
  if (fseeko(fp, 0, SEEK_SET) != 0) return -1;
  return size;
}

bool ReadBlock(std::FILE* fp, std::int64_t offset, std::span<std::uint8_t> dst,
               std::uint16_t* pSum) {
  std::size_t got = 0;
  if (fp != nullptr && offset >= 0 && fseeko(fp, static_cast<off_t>(offset), SEEK_SET) == 0) {
    got = std::fread(dst.data(), 1, dst.size(), fp);
  }
  // The file may have shrunk since it was measured: the rest reads as 0xFF.
  std::fill(dst.begin() + static_cast<std::ptrdiff_t>(got), dst.end(), std::uint8_t{0xFF});
  if (pSum != nullptr) {
    std::uint8_t low = 0, high = 0;
    for (std::size_t i = 0; i < dst.size(); ++i) (i % 2 == 0 ? low : high) ^= dst[i];
    *pSum = static_cast<std::uint16_t>(low | (high << 8));
  }
  return true;
}

std::uint16_t ImageChecksum(std::FILE* fp, std::int64_t size) {
  if (size <= 0) return 0;
  // A counter that grows by 2 per word while below W = size / 2 covers ceil(W / 2)
  // words: only the first half of the image counts. Terminals expect exactly this.
  const std::int64_t words = size / 2;
  std::int64_t bytes = ((words + 1) / 2) * 2;
  if (size % 2 != 0) ++bytes;  // the odd byte after those words, as a word with high byte 0
  if (fp == nullptr || fseeko(fp, 0, SEEK_SET) != 0) return 0;

  std::array<std::uint8_t, 4096> chunk{};
  std::uint8_t low = 0, high = 0;
  std::int64_t pos = 0;
  while (pos < bytes) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(bytes - pos, chunk.size()));
    const std::size_t got = std::fread(chunk.data(), 1, want, fp);
    std::fill(chunk.begin() + static_cast<std::ptrdiff_t>(got),
              chunk.begin() + static_cast<std::ptrdiff_t>(want), std::uint8_t{0xFF});
    for (std::size_t i = 0; i < want; ++i) {
      // pos is even at every chunk start (chunk size is even), so parity is local.
      (i % 2 == 0 ? low : high) ^= chunk[i];
    }
    pos += static_cast<std::int64_t>(want);
  }
  fseeko(fp, 0, SEEK_SET);
  return static_cast<std::uint16_t>(low | (high << 8));
}

namespace {
bool IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || c == '/' || c == '\\';
  });
}

// True when path's components start with all of dir's.
bool IsInside(const fs::path& path, const fs::path& dir) {
  auto p = path.begin();
  for (auto d = dir.begin(); d != dir.end(); ++d, ++p) {
    if (d->empty()) continue;  // a trailing separator of dir
    if (p == path.end() || *p != *d) return false;
  }
  return p != path.end();
}
}  // namespace

FilePtr OpenImageInDir(const std::string& dir, std::string_view name) {
  if (!IsPlainName(name)) return nullptr;
  std::error_code ec;
  const fs::path realDir = fs::canonical(dir.empty() ? fs::path(".") : fs::path(dir), ec);
  if (ec) return nullptr;
  const fs::path realFile = fs::canonical(realDir / fs::path(std::string(name)), ec);
  if (ec || !IsInside(realFile, realDir) || !fs::is_regular_file(realFile, ec)) return nullptr;

  FilePtr fp(std::fopen(realFile.c_str(), "rb"));
  if (!fp) return nullptr;
  // What was opened must still be a regular file (it may have been swapped meanwhile).
  struct stat st {};
  if (fstat(fileno(fp.get()), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  return fp;
}

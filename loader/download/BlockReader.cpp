// The read-ahead window of a download's blocks.
#include "download/BlockReader.h"

#include "download/ImageFile.h"

#include <algorithm>
#include <cstring>

void BlockReader::Read(int fd, std::int64_t offset, int blockSize, std::int64_t fileSize,
                       std::span<std::uint8_t> dst) {
  if (dst.empty()) return;
  const auto want = static_cast<std::int64_t>(dst.size());
  const bool held = m_windowLen > 0 && fd == m_windowFd && offset >= m_windowStart &&
                    offset + want <= m_windowStart + static_cast<std::int64_t>(m_windowLen);
  if (!held) {
    const std::int64_t window = std::max(kWindowBlocks * std::max(blockSize, 1), kWindowMinBytes);
    // Never less than the block asked for, never past the measured end unless
    // the block itself reaches past it (its missing bytes then read as 0xFF).
    const std::int64_t len = std::max(want, std::min(window, fileSize - offset));
    if (m_window.size() < static_cast<std::size_t>(len)) {
      m_window.resize(static_cast<std::size_t>(len));
    }
    m_windowFd = fd;
    m_windowStart = offset;
    m_windowLen = static_cast<std::size_t>(len);
    ReadBlock(fd, offset, std::span<std::uint8_t>(m_window.data(), m_windowLen));
  }
  std::memcpy(dst.data(), m_window.data() + (offset - m_windowStart), dst.size());
}

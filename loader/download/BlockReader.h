// Blocks of an open image, read a window of several blocks at a time: one
// pread serves the next blocks of a download, a resend of a block still in the
// window costs no read at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class BlockReader {
 public:
  /// Blocks per window, and the least bytes a window holds (small blocks).
  static constexpr std::int64_t kWindowBlocks = 16;
  static constexpr std::int64_t kWindowMinBytes = 4096;

  /// Forgets the window: the next block is read from the file again. Called
  /// whenever an image is opened or closed (a descriptor number may be reused).
  void Forget() noexcept { m_windowLen = 0; }

  /// Copies the dst.size() bytes at offset of fd into dst, from the window when
  /// it holds them, else from a new window read at offset: as many bytes of
  /// the file as kWindowBlocks blocks of blockSize (at least kWindowMinBytes),
  /// but none past fileSize, the size measured when the image was opened.
  /// Bytes the file no longer has, or that cannot be read, are 0xFF.
  void Read(int fd, std::int64_t offset, int blockSize, std::int64_t fileSize,
            std::span<std::uint8_t> dst);

 private:
  std::vector<std::uint8_t> m_window;  // grows to the largest window once, then kept
  int m_windowFd = -1;                 // the descriptor the window was read from
  std::int64_t m_windowStart = 0;
  std::size_t m_windowLen = 0;  // 0: nothing held
};

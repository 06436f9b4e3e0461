// Image files of the downloads: an owning FILE handle, the file size, block
// reads (bytes past the end count as 0xFF) and the image checksum.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

struct FileCloser {
  void operator()(std::FILE* fp) const noexcept { std::fclose(fp); }
};
/// An open image file, closed when the pointer goes.
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

/// Size in bytes of the open file, leaving it positioned at its start; -1 on failure.
std::int64_t GetFileSize(std::FILE* fp);

/// Positions fp at offset and copies dst.size() bytes into dst; bytes that lie
/// past the end of the file (or cannot be read) are 0xFF. *pSum receives their
/// block checksum. Always true.
bool ReadBlock(std::FILE* fp, std::int64_t offset, std::span<std::uint8_t> dst,
               std::uint16_t* pSum);

/// Checksum of the ROM start reply: the first ceil(W/2) of the W = size/2 whole
/// 16-bit words of the image (the first half of it), then, for an odd size, the
/// next byte as a word with high byte 0. Read from the start of fp in small chunks.
std::uint16_t ImageChecksum(std::FILE* fp, std::int64_t size);

/// Opens dir/name for binary reading, but only when name is a plain file name
/// (no '/' or '\\', no byte below 0x20, not empty, not "." or "..") and names a
/// regular file whose real path lies inside dir's real path (symlinks leading
/// out are refused). nullptr when refused or not openable.
FilePtr OpenImageInDir(const std::string& dir, std::string_view name);

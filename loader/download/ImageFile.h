// Image files of the downloads: opening one safely inside its folder, its size,
// block reads straight from the descriptor (bytes past the end count as 0xFF)
// and the image checksum.
#pragma once

#include "base/UniqueFd.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/// Size in bytes of the open file as it is now; -1 on failure.
std::int64_t GetFileSize(int fd);

/// Copies dst.size() bytes from offset of fd into dst with pread (no buffer of
/// our own, so a file that changes is read as it is now). Bytes past the end
/// of the file, or that cannot be read, are 0xFF.
void ReadBlock(int fd, std::int64_t offset, std::span<std::uint8_t> dst);

/// Checksum of the ROM start reply: the first ceil(W/2) of the W = size/2 whole
/// 16-bit words of the image (the first half of it), then, for an odd size, the
/// next byte as a word with high byte 0. Read from the start of fd in chunks.
std::uint16_t ImageChecksum(int fd, std::int64_t size);

/// Opens dir/name for reading, but only when name is a plain file name (no '/'
/// or '\\', no byte below 0x20, not empty, not "." or "..") and what it leads
/// to, symlinks followed, stays beneath dir and is a regular file. The kernel
/// enforces "beneath" during the open (see OpenBeneath), and the open never
/// waits (a FIFO is refused, not waited on). Invalid when refused or not openable.
UniqueFd OpenImageInDir(const std::string& dir, std::string_view name);
/// OpenImageInDir that says why an image was refused: "not found in <dir>",
/// "not a regular file", "permission denied", "outside the folder" (a name
/// with a path in it, or a symlink leading out), "not a plain file name", or
/// the system's reason.
UniqueFd OpenImageInDir(const std::string& dir, std::string_view name, std::string& why);

// Blocks served from the read-ahead window: every block, resent or not, is the
// file's bytes at its offset, across window boundaries and at the short last block.
#include "download/BlockReader.h"

#include "download/ImageFile.h"
#include "support/TempDir.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 31 + i / 251 + seed);
  return bytes;
}

void Write(const testsupport::TempDir& dir, const std::vector<std::uint8_t>& bytes) {
  ASSERT_TRUE(testsupport::WriteFile(
      dir.Path() / "img",
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

// Block n as the download sends it: the file's bytes, the last block short.
std::vector<std::uint8_t> Expected(const std::vector<std::uint8_t>& file, int blockSize, int n) {
  const std::size_t from = static_cast<std::size_t>(n) * static_cast<std::size_t>(blockSize);
  const std::size_t to = std::min(file.size(), from + static_cast<std::size_t>(blockSize));
  return {file.begin() + static_cast<std::ptrdiff_t>(from),
          file.begin() + static_cast<std::ptrdiff_t>(to)};
}

std::vector<std::uint8_t> ReadNo(BlockReader& reader, int fd, std::size_t fileSize, int blockSize,
                                 int n) {
  const std::int64_t offset = static_cast<std::int64_t>(n) * blockSize;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(
      std::min<std::int64_t>(blockSize, static_cast<std::int64_t>(fileSize) - offset)));
  reader.Read(fd, offset, blockSize, static_cast<std::int64_t>(fileSize), block);
  return block;
}
}  // namespace

TEST(BlockReader, EveryBlockIsTheFilesBytesWhateverTheOrder) {
  struct Case {
    const char* name;
    std::size_t fileSize;
    int blockSize;
    std::vector<int> blocks;  // in the order a terminal asks for them; repeats are resends
  };
  const std::vector<Case> cases = {
      {"exact multiple of the window, resends at the boundary",
       2 * 4096,
       256,
       {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 16, 16, 17, 30, 31, 31}},
      {"short last block just past a window", 4096 + 100, 256, {0, 15, 16, 16}},
      {"small blocks fill the least window", 3 * 4096, 128, {0, 31, 32, 33, 63, 64, 95, 95}},
      {"large blocks, a last block of one byte", 16 * 2048 + 1, 2048, {0, 15, 16, 16}},
      {"a restart from the first block, then on", 4096 * 3, 256, {0, 20, 21, 0, 1, 2, 40, 47}},
      {"a block smaller than its window at the end", 300, 256, {0, 1, 1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir dir;
    const auto file = Pattern(c.fileSize, 7);
    Write(dir, file);
    const UniqueFd fd = OpenImageInDir(dir.Path().string(), "img");
    ASSERT_TRUE(fd);
    BlockReader reader;
    for (const int n : c.blocks) {
      ASSERT_EQ(ReadNo(reader, fd.Get(), c.fileSize, c.blockSize, n),
                Expected(file, c.blockSize, n))
          << "block " << n;
    }
  }
}

TEST(BlockReader, AnImageOpenedAgainIsReadAfresh) {
  testsupport::TempDir dir;
  const auto before = Pattern(4096, 1);
  const auto after = Pattern(4096, 2);
  Write(dir, before);
  BlockReader reader;
  {
    const UniqueFd fd = OpenImageInDir(dir.Path().string(), "img");
    ASSERT_EQ(ReadNo(reader, fd.Get(), 4096, 256, 0), Expected(before, 256, 0));
  }
  reader.Forget();
  Write(dir, after);
  // Most likely the same descriptor number: only Forget keeps the old window out.
  const UniqueFd fd = OpenImageInDir(dir.Path().string(), "img");
  EXPECT_EQ(ReadNo(reader, fd.Get(), 4096, 256, 1), Expected(after, 256, 1));
}

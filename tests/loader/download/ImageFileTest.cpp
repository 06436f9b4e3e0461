// Image files: size, block reads, the half-image checksum, and opening only inside the folder.
#include "download/ImageFile.h"

#include "support/TempDir.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
using TempDir = testsupport::CTempDir;

void WriteFile(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(p, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

FilePtr OpenBytes(const TempDir& dir, const std::vector<std::uint8_t>& bytes) {
  WriteFile(dir.Path() / "img", bytes);
  return FilePtr(std::fopen((dir.Path() / "img").c_str(), "rb"));
}
}  // namespace

TEST(ImageFile, SizeAndBlockReadsWithFfPastEnd) {
  TempDir dir;
  auto fp = OpenBytes(dir, {0x10, 0x20, 0x30, 0x40, 0x50});
  ASSERT_TRUE(fp);
  EXPECT_EQ(GetFileSize(fp.get()), 5);
  EXPECT_EQ(std::ftell(fp.get()), 0);

  std::vector<std::uint8_t> block(4);
  std::uint16_t sum = 0;
  EXPECT_TRUE(ReadBlock(fp.get(), 2, block, &sum));
  EXPECT_EQ(block, (std::vector<std::uint8_t>{0x30, 0x40, 0x50, 0xFF}));
  EXPECT_EQ(sum, (0x40 ^ 0xFF) << 8 | (0x30 ^ 0x50));

  // Reading again from an earlier block gives the same bytes (resends re-read).
  EXPECT_TRUE(ReadBlock(fp.get(), 0, block, &sum));
  EXPECT_EQ(block, (std::vector<std::uint8_t>{0x10, 0x20, 0x30, 0x40}));
}

TEST(ImageFile, ChecksumCoversFirstHalfOfImage) {
  TempDir dir;
  std::vector<std::uint8_t> bytes(2048);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  struct Case {
    std::size_t size;
    std::size_t covered;
  };
  // 10 bytes -> bytes 0-5; 11 -> 0-6; 2048 -> 0-1023; 1 -> byte 0; 3 -> 0-2; 4 -> 0-1.
  for (Case c : {Case{10, 6}, Case{11, 7}, Case{2048, 1024}, Case{1, 1}, Case{3, 3}, Case{4, 2},
                 Case{0, 0}}) {
    SCOPED_TRACE(c.size);
    auto fp = OpenBytes(dir, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(c.size)});
    std::uint8_t low = 0, high = 0;
    for (std::size_t i = 0; i < c.covered; ++i) (i % 2 ? high : low) ^= bytes[i];
    EXPECT_EQ(ImageChecksum(fp.get(), static_cast<std::int64_t>(c.size)), low | high << 8);
  }
}

TEST(ImageFile, OpensOnlyRegularFilesInsideTheFolder) {
  TempDir root;
  const fs::path dir = root.Path() / "rom";
  fs::create_directories(dir / "sub");
  WriteFile(dir / "TRM-5.jd0", {1, 2, 3});
  WriteFile(dir / "sub" / "inner.bin", {4});
  WriteFile(root.Path() / "decoy.rom", {9, 9});
  fs::create_symlink(root.Path() / "decoy.rom", dir / "out.rom");
  fs::create_symlink(dir / "TRM-5.jd0", dir / "alias.rom");
  fs::create_symlink("../rom/TRM-5.jd0", dir / "roundtrip.rom");

  EXPECT_TRUE(OpenImageInDir(dir.string(), "TRM-5.jd0"));
  EXPECT_TRUE(OpenImageInDir(dir.string() + "/", "TRM-5.jd0"));
  EXPECT_TRUE(OpenImageInDir(dir.string(), "alias.rom"));
  EXPECT_TRUE(OpenImageInDir(dir.string(), "roundtrip.rom"));

  EXPECT_FALSE(OpenImageInDir(dir.string(), "out.rom"));  // symlink leading out
  EXPECT_FALSE(OpenImageInDir(dir.string(), "sub/inner.bin"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "sub\\inner.bin"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "../decoy.rom"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), ".."));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "sub"));  // a folder, not a file
  EXPECT_FALSE(OpenImageInDir(dir.string(), "TRM-5.jd0\x01"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), std::string("TRM\x1F", 4)));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "missing.rom"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), ""));
  EXPECT_FALSE(OpenImageInDir((root.Path() / "nope").string(), "TRM-5.jd0"));
}

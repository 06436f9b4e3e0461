// Image files: size, block reads, the half-image checksum, and opening only inside the folder.
#include "download/ImageFile.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
using TempDir = testsupport::TempDir;

void WriteBytes(const fs::path& p, const std::vector<std::uint8_t>& bytes) {
  ASSERT_TRUE(testsupport::WriteFile(
      p, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

UniqueFd OpenBytes(const TempDir& dir, const std::vector<std::uint8_t>& bytes) {
  WriteBytes(dir.Path() / "img", bytes);
  return OpenImageInDir(dir.Path().string(), "img");
}
}  // namespace

TEST(ImageFile, SizeAndBlockReadsWithFfPastEnd) {
  TempDir dir;
  const UniqueFd fd = OpenBytes(dir, {0x10, 0x20, 0x30, 0x40, 0x50});
  ASSERT_TRUE(fd);
  EXPECT_EQ(GetFileSize(fd.Get()), 5);

  std::vector<std::uint8_t> block(4);
  ReadBlock(fd.Get(), 2, block);
  EXPECT_EQ(block, (std::vector<std::uint8_t>{0x30, 0x40, 0x50, 0xFF}));
  // Reading again from an earlier block gives the same bytes (resends re-read).
  ReadBlock(fd.Get(), 0, block);
  EXPECT_EQ(block, (std::vector<std::uint8_t>{0x10, 0x20, 0x30, 0x40}));
  ReadBlock(fd.Get(), 100, block);
  EXPECT_EQ(block, (std::vector<std::uint8_t>(4, 0xFF)));
}

TEST(ImageFile, FileThatShrinksIsReadAsItIsNowNeverFromOldContent) {
  TempDir dir;
  std::vector<std::uint8_t> bytes(8192);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i % 251);
  const UniqueFd fd = OpenBytes(dir, bytes);
  ASSERT_TRUE(fd);
  std::vector<std::uint8_t> block(2048);
  ReadBlock(fd.Get(), 0, block);  // a buffered reader would now hold more than this block
  ASSERT_EQ(::truncate((dir.Path() / "img").c_str(), 3000), 0);
  ReadBlock(fd.Get(), 2048, block);
  for (std::size_t i = 0; i < block.size(); ++i) {
    ASSERT_EQ(block[i], i < 3000 - 2048 ? bytes[2048 + i] : 0xFF) << i;
  }
}

TEST(ImageFile, ChecksumCoversFirstHalfOfImage) {
  TempDir dir;
  std::vector<std::uint8_t> bytes(10000);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  struct Case {
    std::size_t size;
    std::size_t covered;
  };
  // 10 bytes -> bytes 0-5; 11 -> 0-6; 2048 -> 0-1023; 1 -> byte 0; 3 -> 0-2; 4 -> 0-1;
  // 10000 -> 0-4999 and 9999 -> 0-5000 (more than one read chunk, odd byte last).
  for (Case c : {Case{10, 6}, Case{11, 7}, Case{2048, 1024}, Case{1, 1}, Case{3, 3}, Case{4, 2},
                 Case{0, 0}, Case{10000, 5000}, Case{9999, 5001}}) {
    SCOPED_TRACE(c.size);
    const UniqueFd fd =
        OpenBytes(dir, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(c.size)});
    std::uint8_t low = 0, high = 0;
    for (std::size_t i = 0; i < c.covered; ++i) (i % 2 ? high : low) ^= bytes[i];
    EXPECT_EQ(ImageChecksum(fd.Get(), static_cast<std::int64_t>(c.size)), low | high << 8);
  }
}

TEST(ImageFile, OpensOnlyRegularFilesBeneathTheFolder) {
  TempDir root;
  const fs::path dir = root.Path() / "rom";
  fs::create_directories(dir / "sub");
  WriteBytes(dir / "TRM-5.jd0", {1, 2, 3});
  WriteBytes(dir / "sub" / "inner.bin", {4});
  WriteBytes(root.Path() / "decoy.rom", {9, 9});
  fs::create_symlink(root.Path() / "decoy.rom", dir / "out.rom");
  fs::create_symlink("../decoy.rom", dir / "up.rom");
  fs::create_symlink("TRM-5.jd0", dir / "alias.rom");
  fs::create_symlink("sub/inner.bin", dir / "down.rom");
  fs::create_symlink("sub/../TRM-5.jd0", dir / "around.rom");
  // Leaves the folder and comes back: "beneath" is judged on the way, not at the end.
  fs::create_symlink("../rom/TRM-5.jd0", dir / "roundtrip.rom");
  fs::create_symlink(dir / "TRM-5.jd0", dir / "absolute.rom");
  fs::create_symlink("sub", dir / "subdir.rom");
  ASSERT_EQ(::mkfifo((dir / "fifo.rom").c_str(), 0600), 0);

  EXPECT_TRUE(OpenImageInDir(dir.string(), "TRM-5.jd0"));
  EXPECT_TRUE(OpenImageInDir(dir.string() + "/", "TRM-5.jd0"));
  EXPECT_TRUE(OpenImageInDir(dir.string(), "alias.rom"));
  EXPECT_TRUE(OpenImageInDir(dir.string(), "down.rom"));
  EXPECT_TRUE(OpenImageInDir(dir.string(), "around.rom"));

  EXPECT_FALSE(OpenImageInDir(dir.string(), "out.rom"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "up.rom"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "roundtrip.rom"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "absolute.rom"));
  EXPECT_FALSE(OpenImageInDir(dir.string(), "subdir.rom"));
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

  // A FIFO with no writer is refused at once; the open never waits for a writer.
  auto fifo = std::async(std::launch::async,
                         [&] { return OpenImageInDir(dir.string(), "fifo.rom").Valid(); });
  if (fifo.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    // Release the hung open so the test ends, then fail.
    const UniqueFd writer(::open((dir / "fifo.rom").c_str(), O_RDWR | O_NONBLOCK));
    fifo.wait();
    FAIL() << "opening a FIFO waited for a writer";
  }
  EXPECT_FALSE(fifo.get());
}

TEST(ImageFile, EachRefusalSaysWhy) {
  TempDir root;
  const fs::path dir = root.Path() / "rom";
  fs::create_directories(dir / "sub");
  WriteBytes(dir / "locked.rom", {1});
  fs::permissions(dir / "locked.rom", fs::perms::none);
  WriteBytes(root.Path() / "decoy.rom", {9});
  fs::create_symlink("../decoy.rom", dir / "up.rom");
  ASSERT_EQ(::mkfifo((dir / "fifo.rom").c_str(), 0600), 0);
  const std::string folder = dir.string();
  const struct {
    std::string dir, name, why;
  } cases[] = {
      {folder, "missing.rom", "not found in " + folder},
      {folder, "sub", "not a regular file"},
      {folder, "fifo.rom", "not a regular file"},
      {folder, "up.rom", "outside the folder"},
      {folder, "../decoy.rom", "outside the folder"},
      {folder, "TRM\x01", "not a plain file name"},
      {folder + "/none", "x.rom", "not found in " + folder + "/none (no such folder)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    EXPECT_FALSE(OpenImageInDir(c.dir, c.name, why));
    EXPECT_EQ(why, c.why);
  }
  // Root reads any file whatever its mode bits.
  std::string why;
  if (::geteuid() != 0) {
    EXPECT_FALSE(OpenImageInDir(folder, "locked.rom", why));
    EXPECT_EQ(why, "permission denied");
  }
}

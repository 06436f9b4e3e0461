// Opening beneath a folder: the kernel's rule and the component-by-component fallback agree.
#include "download/OpenBeneath.h"

#include "support/TempDir.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
std::string Content(const UniqueFd& fd) {
  char buf[64] = {};
  const ssize_t n = ::pread(fd.Get(), buf, sizeof buf, 0);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}
}  // namespace

TEST(OpenBeneath, KernelRuleAndFallbackAgree) {
  testsupport::TempDir root;
  const fs::path dir = root.Path() / "f";
  fs::create_directories(dir / "a" / "b");
  ASSERT_TRUE(testsupport::WriteFile(dir / "top", "top"));
  ASSERT_TRUE(testsupport::WriteFile(dir / "a" / "b" / "deep", "deep"));
  ASSERT_TRUE(testsupport::WriteFile(root.Path() / "secret", "secret"));
  fs::create_symlink("a/b/deep", dir / "l1");
  fs::create_symlink("l1", dir / "l2");                        // a chain of links
  fs::create_symlink("../../top", dir / "a" / "b" / "uptop");  // climbs, but stays inside
  fs::create_symlink("b", dir / "a" / "bl");                   // a linked folder on the way
  fs::create_symlink("../secret", dir / "out");
  fs::create_symlink(root.Path() / "secret", dir / "abs");
  fs::create_symlink("loop", dir / "loop");
  const UniqueFd folder(::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  ASSERT_TRUE(folder);

  struct Case {
    const char* path;
    const char* content;  // nullptr: refused
  };
  const Case cases[] = {
      {"top", "top"},
      {"a/b/deep", "deep"},
      {"l2", "deep"},
      {"a/b/uptop", "top"},
      {"a/bl/deep", "deep"},
      {"a/../top", "top"},
      {"./a/./b/deep", "deep"},
      {"out", nullptr},
      {"abs", nullptr},
      {"../f/top", nullptr},
      {"a/../../secret", nullptr},
      {"loop", nullptr},
      {"missing", nullptr},
      {"/etc/passwd", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const UniqueFd viaKernel = OpenBeneath(folder.Get(), c.path, O_RDONLY | O_NONBLOCK);
    const UniqueFd viaWalk = OpenBeneathByComponents(folder.Get(), c.path, O_RDONLY | O_NONBLOCK);
    if (c.content == nullptr) {
      EXPECT_FALSE(viaKernel);
      EXPECT_FALSE(viaWalk);
    } else {
      EXPECT_EQ(Content(viaKernel), c.content);
      EXPECT_EQ(Content(viaWalk), c.content);
    }
  }
  // Escaping by a link is refused as "not beneath", not as "missing".
  errno = 0;
  EXPECT_FALSE(OpenBeneathByComponents(folder.Get(), "out", O_RDONLY));
  EXPECT_EQ(errno, EXDEV);
}

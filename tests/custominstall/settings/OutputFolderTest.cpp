// The output folder as a person types it: "~", relative paths, "." and "..".
#include "settings/OutputFolder.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

TEST(ResolveOutputDirectory, TildeIsTheHomeFolderOnlyAtTheStart) {
  EXPECT_EQ(ResolveOutputDirectory("~", "/home/ann"), "/home/ann/");
  EXPECT_EQ(ResolveOutputDirectory("~/", "/home/ann"), "/home/ann/");
  EXPECT_EQ(ResolveOutputDirectory("~/pkg", "/home/ann"), "/home/ann/pkg");
  EXPECT_EQ(ResolveOutputDirectory("/srv/~/pkg", "/home/ann"), "/srv/~/pkg");
  const std::string current = std::filesystem::current_path().string();
  EXPECT_EQ(ResolveOutputDirectory("~bob/pkg", "/home/ann"), current + "/~bob/pkg");
}

TEST(ResolveOutputDirectory, RelativeFromTheCurrentFolderDotsResolved) {
  const std::string current = std::filesystem::current_path().string();
  EXPECT_EQ(ResolveOutputDirectory("pkg", "/h"), current + "/pkg");
  EXPECT_EQ(ResolveOutputDirectory("./a//b/./", "/h"), current + "/a/b/");
  EXPECT_EQ(ResolveOutputDirectory("/x/new/.", "/h"), "/x/new/");
  EXPECT_EQ(ResolveOutputDirectory("/x/a/b/..", "/h"), "/x/a/");
  EXPECT_EQ(ResolveOutputDirectory("/x//y///z", "/h"), "/x/y/z");
  EXPECT_EQ(ResolveOutputDirectory("/..", "/h"), "/");
  EXPECT_EQ(ResolveOutputDirectory("", "/h"), "");  // nothing typed stays nothing
}

// Creating the output folder and its missing parents.
#include "settings/DirectoryTree.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"

namespace fs = std::filesystem;
using testsupport::TempDir;

TEST(CreateDirectoryTree, CreatesEveryMissingLevel) {
  TempDir temp;
  EXPECT_TRUE(CreateDirectoryTree(temp.Dir() + "a/b/c/"));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a" / "b" / "c"));
  EXPECT_TRUE(CreateDirectoryTree(temp.Dir() + "a/d"));  // no trailing slash works too
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a" / "d"));
}

TEST(CreateDirectoryTree, FailsForAnExistingFolderAFileInTheWayAndAnEmptyPath) {
  TempDir temp;
  EXPECT_FALSE(CreateDirectoryTree(temp.Dir()));
  testsupport::WriteFile(temp.Path() / "file", "x");
  EXPECT_FALSE(CreateDirectoryTree(temp.Dir() + "file/sub/"));
  EXPECT_FALSE(CreateDirectoryTree(""));
  EXPECT_FALSE(CreateDirectoryTree("/"));
}

TEST(CreateDirectoryTree, DeepPathThatCannotBeCreatedFailsWithoutClimbingForever) {
  TempDir temp;
  testsupport::WriteFile(temp.Path() / "file", "x");
  // Each level under a file fails; a search of every ancestor on every level would
  // never finish at this depth.
  std::string path = temp.Dir() + "missing/";
  for (int i = 0; i < 60; ++i) {
    path += "d/";
  }
  ASSERT_TRUE(CreateDirectoryTree(path));  // a missing chain is created...
  std::string blocked = temp.Dir() + "file/";
  for (int i = 0; i < 60; ++i) {
    blocked += "d/";
  }
  EXPECT_FALSE(CreateDirectoryTree(blocked));  // ...a blocked one fails at once
}

TEST(CreateDirectoryTree, NamesTheLevelThatFailedAndTheSystemsReason) {
  TempDir temp;
  testsupport::WriteFile(temp.Path() / "file", "x");
  SystemError error;
  EXPECT_FALSE(CreateDirectoryTree(temp.Dir() + "file/sub/", &error));
  EXPECT_EQ(error.Describe(), temp.Dir() + "file/sub/: Not a directory");
  EXPECT_FALSE(CreateDirectoryTree(temp.Dir(), &error));
  EXPECT_EQ(error.Describe(), temp.Dir() + ": File exists");
  EXPECT_FALSE(CreateDirectoryTree("", &error));
  EXPECT_EQ(error.Describe(), ": No such file or directory");
}

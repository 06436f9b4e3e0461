// Private-profile lookups and line-splicing edits, in memory and on real files.
#include "config/PrivateProfile.h"

#include "loader/config/ConfigTestFiles.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using configtest::ReadFile;
using configtest::TempDir;
using configtest::WriteFile;

/// Shows CR and LF on failure so line endings can be compared by eye.
std::string Visible(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n\n";
    else
      out += c;
  }
  return out;
}

constexpr std::string_view kR1 =
    "; settings\r\n"
    "top=1\r\n"
    "[Display]\r\n"
    "  Width = 800  \r\n"
    "height=\"  600 \"\r\n"
    "Mode='full\"\r\n"
    "Name=\"\"quoted\"\"\r\n"
    ";Depth=32\r\n"
    "Depth\r\n"
    "# Color=red\r\n"
    "Title=Hello ; world\r\n"
    "[display]\r\n"
    "Width=1024\r\n"
    "[ Audio ]extra\r\n"
    "Volume=\r\n";

struct LookupRow {
  std::string_view section, key, def, expected;
};

}  // namespace

TEST(ProfileLookup, WorkedExampleR1) {
  const std::array<LookupRow, 12> rows = {{
      {"Display", "width", "", "800"},
      {"DISPLAY", "Height", "", "  600 "},
      {"Display", "Mode", "", "'full\""},
      {"Display", "Name", "", "\"quoted\""},
      {"Display", "Depth", "x", "x"},
      {"Display", "# Color", "", "red"},
      {"Display", "Title", "", "Hello ; world"},
      {"display", "Width", "", "800"},
      {"Audio", "Volume", "d", ""},
      {"Audio", "Nope", "abc  ", "abc"},
      {"", "top", "d", "d"},
      {" Display ", " width ", "", "800"},
  }};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GetProfileString(kR1, rows[i].section, rows[i].key, rows[i].def), rows[i].expected);
  }
}

TEST(ProfileLookup, LineEndingsHeadersAndDefaults) {
  EXPECT_EQ(GetProfileString("[a]\rk=cr\r[b]\rk=2", "a", "k", ""), "cr");
  EXPECT_EQ(GetProfileString("[a]\nk=lf\n", "A", "K", ""), "lf");
  EXPECT_EQ(GetProfileString("[a]\nk=1", "b", "k", "def"), "def");
  // A header without ']' is still a header; text after ']' is ignored.
  EXPECT_EQ(GetProfileString("[open\nk=v\n", "open", "k", ""), "v");
  EXPECT_EQ(GetProfileString("[Net] ; remark\nk=v\n", "Net", "k", ""), "v");
  EXPECT_EQ(GetProfileString("[]\nk=empty\n", "", "k", ""), "empty");
  // A UTF-8 byte-order mark makes line 1 an ordinary line.
  EXPECT_EQ(GetProfileString("\xEF\xBB\xBF[a]\nk=v\n", "a", "k", "none"), "none");
  // First key wins; tabs are blanks in the file but not in a parameter.
  EXPECT_EQ(GetProfileString("[a]\n\tk\t=\tv1\t\nk=v2\n", "a", "k", ""), "v1");
  EXPECT_EQ(GetProfileString("[a]\nk=v\n", "a", "\tk", "tab"), "tab");
  // Only spaces go from the default's end, and all spaces give "".
  EXPECT_EQ(GetProfileString("", "a", "k", " x\t  "), " x\t");
  EXPECT_EQ(GetProfileString("", "a", "k", "   "), "");
  EXPECT_EQ(GetProfileString("", "a", "k", "\"q\""), "\"q\"");
  // Case folding is ASCII only.
  EXPECT_EQ(GetProfileString("[\xC3\xA9]\nk=v\n", "\xC3\x89", "k", "no"), "no");
}

TEST(ProfileLookup, ValuesAreReadWhole) {
  const std::string longValue(5000, 'v');
  const std::string text = "[S]\r\nk=" + longValue + "\r\n";
  EXPECT_EQ(GetProfileString(text, "S", "k", ""), longValue);
}

TEST(ProfileLookup, IndexMatchesSingleLookups) {
  const ProfileIndex index(kR1);
  for (std::string_view section : {"Display", "display", "Audio", "", "none"}) {
    for (std::string_view key : {"width", "Height", "Title", "Volume", "Depth", "# Color", "x"}) {
      SCOPED_TRACE(std::string(section) + "/" + std::string(key));
      EXPECT_EQ(index.Find(section, key), FindProfileValue(kR1, section, key));
      EXPECT_EQ(index.Get(section, key, "d "), GetProfileString(kR1, section, key, "d "));
    }
  }
}

TEST(ProfileFile, ReadSaysWhyAFileCannotBeRead) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(ReadProfileFile(dir.File("none.ini"), error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(ReadProfileFile(dir.File(""), error));  // a folder
  EXPECT_EQ(error, "not a regular file");
  EXPECT_FALSE(fs::exists(dir.File("none.ini")));
  WriteFile(dir.File("r1.ini"), kR1);
  const auto text = ReadProfileFile(dir.File("r1.ini"), error);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, kR1);
}

TEST(ProfileEdit, WorkedExampleW1) {
  std::string text =
      "; app config\r\n[Window]\r\n  Left = 10   ; px\r\ntop=20\r\n\r\n"
      "; end of window\r\n[Misc]\r\nx=1\r\n";
  EXPECT_TRUE(WriteProfileString(text, "window", "LEFT", "15"));
  EXPECT_TRUE(WriteProfileString(text, "Window", "Width", "640"));
  EXPECT_TRUE(WriteProfileString(text, "Net", "Port", "80"));
  EXPECT_TRUE(WriteProfileString(text, "Window", "top", std::nullopt));
  EXPECT_TRUE(WriteProfileString(text, "Misc", std::nullopt, std::nullopt));
  const std::string expected =
      "; app config\r\n[Window]\r\n  Left = 15\r\nWidth=640\r\n\r\n"
      "; end of window\r\n[Net]\r\nPort=80\r\n";
  EXPECT_EQ(Visible(text), Visible(expected));
}

TEST(ProfileEdit, WorkedExampleW2ExactBytes) {
  struct Row {
    std::optional<std::string_view> before;  // nullopt: no file
    std::vector<std::array<std::optional<std::string_view>, 3>> calls;
    std::string_view after;
  };
  const std::vector<Row> rows = {
      {std::nullopt, {{"App", "key", ""}}, "[App]\r\nkey=\r\n"},
      {"", {{"S", "z", ""}, {"S", "a", ""}}, "[S]\r\nz=\r\na=\r\n"},
      {"[S]\r\nk=1", {{"S", "K", "2"}}, "[S]\r\nk=2\r\n"},
      {"abc", {{"T", "x", "y"}}, "abc\r\n[T]\r\nx=y\r\n"},
      {"[A]\r\n;note\r\nk=1\r\n[B]\r\n", {{"A", std::nullopt, std::nullopt}}, ";note\r\n[B]\r\n"},
      {"[S]\r\na=1\r\n;c\r\n", {{"S", "b", "2"}}, "[S]\r\na=1\r\nb=2\r\n;c\r\n"},
      {"[S]\r\na=1\n\n[T]\n", {{"S", "b", "2"}}, "[S]\r\na=1\nb=2\r\n\n[T]\n"},
      {"[S]\r\nk=1\r\n", {{"S", "k", "  v "}}, "[S]\r\nk=  v \r\n"},
  };
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    std::string text(rows[i].before.value_or(""));
    for (const auto& call : rows[i].calls) {
      EXPECT_TRUE(WriteProfileString(text, call[0], call[1], call[2]));
    }
    EXPECT_EQ(Visible(text), Visible(rows[i].after));
    if (i == 7) {
      EXPECT_EQ(GetProfileString(text, "S", "k", ""), "v");
    }
  }
}

TEST(ProfileEdit, KeyKeepsItsSpellingAndPlacement) {
  std::string text = "[Sec]\r\nTestKey=a\r\n";
  EXPECT_TRUE(WriteProfileString(text, " sec ", " TESTKEY ", "b"));
  EXPECT_EQ(text, "[Sec]\r\nTestKey=b\r\n");
  // An empty section gets the new line right after its header; a keyless line
  // counts as an entry for placement but is never turned into a key.
  text = "[A]\r\n; c\r\n[B]\r\nname\r\n;c2\r\n";
  EXPECT_TRUE(WriteProfileString(text, "A", "k", "1"));
  EXPECT_TRUE(WriteProfileString(text, "B", "name", "2"));
  EXPECT_EQ(Visible(text), Visible("[A]\r\nk=1\r\n; c\r\n[B]\r\nname\r\nname=2\r\n;c2\r\n"));
  // A key only under a later duplicate header is added to the first one.
  text = "[S]\r\na=1\r\n[s]\r\nb=2\r\n";
  EXPECT_TRUE(WriteProfileString(text, "S", "b", "3"));
  EXPECT_EQ(text, "[S]\r\na=1\r\nb=3\r\n[s]\r\nb=2\r\n");
  // A key that starts with ';' never matches: each write adds a line above the last.
  text = "[S]\r\na=1\r\n";
  EXPECT_TRUE(WriteProfileString(text, "S", ";k", "1"));
  EXPECT_TRUE(WriteProfileString(text, "S", ";k", "2"));
  EXPECT_EQ(text, "[S]\r\na=1\r\n;k=2\r\n;k=1\r\n");
  // Replacing a value with nothing after the '=' keeps the blanks there.
  text = "[S]\nk =   \n";
  EXPECT_TRUE(WriteProfileString(text, "S", "K", "v"));
  EXPECT_EQ(text, "[S]\nk =   v\n");
}

TEST(ProfileEdit, DeletesAndRefusals) {
  std::string text = "[S]\r\nk=1";
  EXPECT_TRUE(WriteProfileString(text, "S", "nope", std::nullopt));
  EXPECT_EQ(text, "[S]\r\nk=1");  // nothing to delete: untouched, no CR LF added
  EXPECT_TRUE(WriteProfileString(text, "S", "K", std::nullopt));
  EXPECT_EQ(text, "[S]\r\n");  // header stays even when the section is empty
  EXPECT_TRUE(WriteProfileString(text, "T", std::nullopt, std::nullopt));
  EXPECT_EQ(text, "[S]\r\n");
  EXPECT_FALSE(WriteProfileString(text, std::nullopt, "k", "v"));
  EXPECT_FALSE(WriteProfileString(text, "S", "k", "line\r\nbreak"));
  EXPECT_FALSE(WriteProfileString(text, "S", "k\n", "v"));
  EXPECT_FALSE(WriteProfileString(text, "S\r", "k", "v"));
  EXPECT_FALSE(WriteProfileString(text, "S", "k", std::string_view("a\0b", 3)));
  EXPECT_EQ(text, "[S]\r\n");
  // Blank lines inside a deleted section stay, like its comments.
  text = "[A]\nk=1\n\n;c\n[B]\nx=1\n";
  EXPECT_TRUE(WriteProfileString(text, "a", std::nullopt, std::nullopt));
  EXPECT_EQ(text, "\n;c\n[B]\nx=1\n");
}

TEST(ProfileFile, MissingFolderFails) {
  TempDir dir;
  EXPECT_FALSE(ReplaceProfileFile(dir.File("no/such/dir.ini"), "[S]\r\nk=v\r\n"));
  EXPECT_FALSE(fs::exists(dir.File("no")));
}

TEST(ProfileFile, RewriteKeepsPermissionsAndFollowsLinks) {
  TempDir dir;
  const std::string path = dir.File("perm.ini");
  WriteFile(path, "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_TRUE(ReplaceProfileFile(path, "[S]\nk=2\n"));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(path), "[S]\nk=2\n");

  const std::string link = dir.File("link.ini");
  fs::create_symlink(path, link);
  EXPECT_TRUE(ReplaceProfileFile(link, "[S]\nk=3\n"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadFile(path), "[S]\nk=3\n");
  // No temporary file is left behind.
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 2u);
}

TEST(ProfileFile, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  TempDir dir;
  const std::string path = dir.File("ro.ini");
  WriteFile(path, "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(ReplaceProfileFile(path, "[S]\nk=2\n"));
  EXPECT_EQ(ReadFile(path), "[S]\nk=1\n");
}

TEST(ProfileFile, UnreadableTargetIsNeverOverwritten) {
  TempDir dir;
  const std::string folder = dir.File("sub");
  fs::create_directory(folder);
  EXPECT_FALSE(ReplaceProfileFile(folder, "[S]\nk=v\n"));  // a folder, not a file
  EXPECT_TRUE(fs::is_directory(folder));
  const std::string big = dir.File("big.ini");
  WriteFile(big, std::string(kMaxProfileFileSize + 1, 'x'));
  std::string error;
  EXPECT_FALSE(ReadProfileFile(big, error).has_value());
  EXPECT_EQ(error, "larger than 8388608 bytes");
  EXPECT_EQ(fs::file_size(big), kMaxProfileFileSize + 1);
}

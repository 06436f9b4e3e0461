// Private-profile lookups and line-splicing edits, in memory and on real files.
#include "config/PrivateProfile.h"

#include "loader/config/ConfigTestFiles.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using configtest::ReadFile;
using configtest::TempDir;
using configtest::WriteFile;

/// Shows CR and LF on failure so line endings can be compared by eye.
std::string Visible(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n\n";
    else out += c;
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

TEST(ProfileLookup, BufferCopiesAtMostSizeMinusOneAndReturnsCount) {
  TempDir dir;
  const std::string path = dir.File("r1.ini");
  WriteFile(path, kR1);
  std::array<char, 16> buf{};
  buf.fill('#');
  EXPECT_EQ(GetPrivateProfileString("Display", "Title", "", std::span(buf.data(), 6), path), 5u);
  EXPECT_STREQ(buf.data(), "Hello");
  EXPECT_EQ(GetPrivateProfileString("Display", "Title", "", std::span(buf.data(), 14), path), 13u);
  EXPECT_STREQ(buf.data(), "Hello ; world");
  EXPECT_EQ(GetPrivateProfileString("DISPLAY", "Height", "", std::span(buf), path), 6u);
  EXPECT_STREQ(buf.data(), "  600 ");
  EXPECT_EQ(GetPrivateProfileString("Audio", "Nope", "abc  ", std::span(buf), path), 3u);
  EXPECT_STREQ(buf.data(), "abc");
  EXPECT_EQ(GetPrivateProfileString("Display", "Title", "", std::span(buf.data(), 1), path), 0u);
  EXPECT_STREQ(buf.data(), "");
  buf[0] = '#';
  EXPECT_EQ(GetPrivateProfileString("Display", "Title", "", std::span(buf.data(), 0), path), 0u);
  EXPECT_EQ(buf[0], '#');
  EXPECT_EQ(ReadFile(path), kR1);  // a read never modifies the file
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

TEST(ProfileLookup, MissingOrUnreadableFileGivesDefault) {
  TempDir dir;
  EXPECT_EQ(GetPrivateProfileString("S", "k", "dflt ", dir.File("none.ini")), "dflt");
  EXPECT_EQ(GetPrivateProfileString("S", "k", "dflt", dir.File("")), "dflt");  // a folder
  EXPECT_FALSE(fs::exists(dir.File("none.ini")));
}

TEST(ProfileEdit, WorkedExampleW1) {
  TempDir dir;
  const std::string path = dir.File("w1.ini");
  WriteFile(path,
            "; app config\r\n[Window]\r\n  Left = 10   ; px\r\ntop=20\r\n\r\n"
            "; end of window\r\n[Misc]\r\nx=1\r\n");
  EXPECT_TRUE(WritePrivateProfileString("window", "LEFT", "15", path));
  EXPECT_TRUE(WritePrivateProfileString("Window", "Width", "640", path));
  EXPECT_TRUE(WritePrivateProfileString("Net", "Port", "80", path));
  EXPECT_TRUE(WritePrivateProfileString("Window", "top", std::nullopt, path));
  EXPECT_TRUE(WritePrivateProfileString("Misc", std::nullopt, std::nullopt, path));
  const std::string expected =
      "; app config\r\n[Window]\r\n  Left = 15\r\nWidth=640\r\n\r\n"
      "; end of window\r\n[Net]\r\nPort=80\r\n";
  EXPECT_EQ(Visible(ReadFile(path)), Visible(expected));
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
  TempDir dir;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string path = dir.File("w2-" + std::to_string(i) + ".ini");
    if (rows[i].before) WriteFile(path, *rows[i].before);
    for (const auto& call : rows[i].calls) {
      EXPECT_TRUE(WritePrivateProfileString(call[0], call[1], call[2], path));
    }
    EXPECT_EQ(Visible(ReadFile(path)), Visible(rows[i].after));
  }
  EXPECT_EQ(GetPrivateProfileString("S", "k", "", dir.File("w2-7.ini")), "v");
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

TEST(ProfileFile, DeleteOnMissingFileCreatesNothingAndMissingFolderFails) {
  TempDir dir;
  const std::string path = dir.File("none.ini");
  EXPECT_TRUE(WritePrivateProfileString("S", "k", std::nullopt, path));
  EXPECT_TRUE(WritePrivateProfileString("S", std::nullopt, std::nullopt, path));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", dir.File("no/such/dir.ini")));
  EXPECT_FALSE(WritePrivateProfileString(std::nullopt, "k", "v", path));
  EXPECT_FALSE(fs::exists(path));
}

TEST(ProfileFile, RewriteKeepsPermissionsAndFollowsLinks) {
  TempDir dir;
  const std::string path = dir.File("perm.ini");
  WriteFile(path, "[S]\nk=1\n");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  EXPECT_TRUE(WritePrivateProfileString("S", "k", "2", path));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(path), "[S]\nk=2\n");

  const std::string link = dir.File("link.ini");
  fs::create_symlink(path, link);
  EXPECT_TRUE(WritePrivateProfileString("S", "k", "3", link));
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
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "2", path));
  EXPECT_EQ(ReadFile(path), "[S]\nk=1\n");
}

TEST(ProfileFile, UnreadableTargetIsNeverOverwritten) {
  TempDir dir;
  const std::string folder = dir.File("sub");
  fs::create_directory(folder);
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", folder));  // a folder, not a file
  EXPECT_TRUE(fs::is_directory(folder));
  const std::string big = dir.File("big.ini");
  WriteFile(big, std::string(kMaxProfileFileSize + 1, 'x'));
  EXPECT_FALSE(ReadProfileFile(big).has_value());
  EXPECT_FALSE(WritePrivateProfileString("S", "k", "v", big));
  EXPECT_EQ(fs::file_size(big), kMaxProfileFileSize + 1);
}

// Input rules shared by the wizard pages and --batch.
#include "settings/Validation.h"

#include <string_view>

#include <gtest/gtest.h>

TEST(IsHexNumber, AcceptsDigitsAndCapitalsOnly) {
  EXPECT_TRUE(IsHexNumber(""));  // emptiness is the blanks check's job
  EXPECT_TRUE(IsHexNumber("0123456789ABCDEF"));
  EXPECT_TRUE(IsHexNumber("3E"));
  EXPECT_FALSE(IsHexNumber("3E7G"));
  EXPECT_FALSE(IsHexNumber("3e7a"));
  EXPECT_FALSE(IsHexNumber(" 3E"));
  EXPECT_FALSE(IsHexNumber("0x3E"));
}

TEST(IsValidDirectory, WindowsRuleForTheTargetDirectory) {
  struct Case {
    std::string_view text;
    bool valid;
  };
  const Case cases[] = {
      {"C:\\drivers", true},
      {"C:drivers", false},
      {"C:\\a:", false},
      {"\\\\server\\share", true},
      {"C:\\x?y", false},
      {"", true},
      {"C:\\Program Files\\Vornix\\MCU\\VB7350", true},
      {"C:/x", false},
      {"C:\\a*", false},
      {"C:\\\"a\"", false},
      {"C:\\<a>", false},
      {"C:\\a>", false},
      {"C:\\a|b", false},
      {"  ", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsValidDirectory(c.text), c.valid);
  }
}

TEST(IsValidOutputDirectory, BackslashTakesThePlaceOfTheSlash) {
  EXPECT_TRUE(IsValidOutputDirectory("/home/u/Vornix/MCU/VB7350/VB7350SetupFiles/"));
  EXPECT_TRUE(IsValidOutputDirectory("out/package"));
  EXPECT_TRUE(IsValidOutputDirectory("a:/b"));
  EXPECT_FALSE(IsValidOutputDirectory("a\\b"));
  EXPECT_FALSE(IsValidOutputDirectory("/tmp/a:b"));
  EXPECT_FALSE(IsValidOutputDirectory("/tmp/a:"));
  EXPECT_FALSE(IsValidOutputDirectory("/tmp/a?"));
  EXPECT_FALSE(IsValidOutputDirectory("/tmp/\"a\""));
}

TEST(IsFileNameStem, RefusesOnlyTheSlash) {
  EXPECT_TRUE(IsFileNameStem("vornun"));
  EXPECT_TRUE(IsFileNameStem("a\\b .."));
  EXPECT_FALSE(IsFileNameStem("../x"));
  EXPECT_FALSE(IsFileNameStem("a/"));
}

TEST(IsWindowsFileName, RefusesWhatWindowsRefusesInANameAndNothingElse) {
  for (const char bad : std::string_view("\\/:*?\"<>|")) {
    EXPECT_FALSE(IsWindowsFileName(std::string("a") + bad + "b")) << bad;
  }
  for (int control = 0; control < 0x20; ++control) {
    EXPECT_FALSE(IsWindowsFileName(std::string("a") + static_cast<char>(control))) << control;
  }
  EXPECT_TRUE(IsWindowsFileName("my un.%;,'()[]{}=+-_~!@#$^&"));
  EXPECT_TRUE(IsWindowsFileName("\x7f\xe9"));
  EXPECT_TRUE(IsWindowsFileName(""));  // emptiness is the blanks check's job
}

TEST(IsInfQuotedText, RefusesOnlyTheDoubleQuote) {
  EXPECT_FALSE(IsInfQuotedText("Foo \"Bar\""));
  EXPECT_FALSE(IsInfQuotedText("\""));
  EXPECT_TRUE(IsInfQuotedText("100% \\ Acme; Inc, Ltd 'x' $(Vid) %1%"));
}

TEST(Validation, MessageTexts) {
  EXPECT_EQ(kFillInAllBlanksText, "Please fill in all blanks.");
  EXPECT_EQ(kInvalidHexText, "Please enter a valid hexadecimal number.");
  EXPECT_EQ(kInvalidDirectoryText, "Directory cannot contain: / : * ? \" < > |");
  EXPECT_EQ(kInvalidOutputDirectoryText, "Directory cannot contain: \\ : * ? \" < > |");
}

TEST(ToUpperAscii, ChangesOnlyLowerCaseLetters) {
  EXPECT_EQ(ToUpperAscii("ab3e-z{"), "AB3E-Z{");
  EXPECT_EQ(ToUpperAscii("\xE9\xFF"), "\xE9\xFF");
}

// Input rules shared by the wizard pages and --batch.
#include "settings/Validation.h"

#include <optional>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "settings/CodePage.h"
#include "settings/Utf8Text.h"

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

TEST(NamesWindowsDevice, TheStemBeforeTheFirstDotInAnyCase) {
  for (const char* device : {"CON", "con", "Prn", "aux", "NUL", "nul.x", "NUL .a", "COM1", "com9",
                             "COM0", "lpt1", "LPT9.u"}) {
    EXPECT_TRUE(NamesWindowsDevice(device)) << device;
  }
  for (const char* name : {"vornun", "CONS", "ACON", "COM", "COM10", "LPT", "LPTA", "COMA", "",
                           ".CON", "x.CON", "NU L"}) {
    EXPECT_FALSE(NamesWindowsDevice(name)) << name;
  }
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

TEST(CodePage, HoldsACharacterOnlyWhenItReadsBackAsItself) {
  struct Case {
    int codePage;
    const char* character;
    bool held;
  };
  const Case cases[] = {
      {0, "a", true},
      {0, "\xc3\xa9", false},         // é
      {1252, "\xc3\xa9", true},       // é
      {1252, "\xe2\x82\xac", true},   // €
      {1252, "\xea\xb5\xad", false},  // 국
      {949, "\xea\xb5\xad", true},    // 국
      {874, "\xe0\xb8\xa0", true},    // ภ
      {949, "\xe0\xb8\xa0", false},   // ภ
      {1258, "\xc3\xaa", true},       // ê
      {1258, "\xe1\xba\xbf", false},  // ế: written as e + two marks, read back as three
      {1251, "\xd0\x96", true},       // Ж
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + " " + c.character);
    EXPECT_EQ(CodePageHolds(c.codePage, c.character), c.held);
  }
  EXPECT_EQ(EncodeInCodePage("a\xea\xb5\xad", 949), std::optional<std::string>("a\xb1\xb9"));
  EXPECT_EQ(EncodeInCodePage("\xea\xb5\xad", 1252), std::nullopt);
  EXPECT_EQ(EncodeInCodePage("\xea\xb5\xad", 0), std::optional<std::string>("\xea\xb5\xad"));
}

TEST(Utf8Text, CountsAndNamesCharactersAsTheMessagesDo) {
  EXPECT_EQ(CountCharacters("a\xea\xb5\xad\xff\xc3"), 4u);  // a, 국, two stray bytes
  std::string_view text = "\t;\xc3\xa9\xed\xa0\x80";        // tab, ;, é, a surrogate (invalid)
  EXPECT_EQ(DescribeCharacter(TakeCharacter(text)), "U+0009");
  EXPECT_EQ(DescribeCharacter(TakeCharacter(text)), "';'");
  EXPECT_EQ(DescribeCharacter(TakeCharacter(text)), "'\xc3\xa9' (U+00E9)");
  EXPECT_EQ(DescribeCharacter(TakeCharacter(text)), "byte 0xED");
}

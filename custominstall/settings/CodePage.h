// The Windows code pages a package's text files can be written in, besides plain ASCII.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

/// PackageSettings::CodePage for a package of ASCII text only (the default).
inline constexpr int kAsciiOnly = 0;

/// One code page the program writes: its number and what the wizard shows for it.
struct CodePageChoice {
  int number;
  std::string_view label;
};

/// "ASCII only" first, then every code page in ascending order.
std::span<const CodePageChoice> CodePageChoices();

/// True for kAsciiOnly and for every code page of CodePageChoices().
bool IsSupportedCodePage(int codePage);

/// True when the character (its UTF-8 bytes) is written in the code page as one
/// character that reads back as itself. With kAsciiOnly: ASCII only.
bool CodePageHolds(int codePage, std::string_view character);

/// The UTF-8 text in the code page (the text unchanged with kAsciiOnly); nothing when a
/// character is missing from the code page or the text is not UTF-8.
std::optional<std::string> EncodeInCodePage(std::string_view utf8, int codePage);

/// "874, 932, 936, 949, 950, 1250-1258": the numbers as the messages list them.
inline constexpr std::string_view kCodePageList = "874, 932, 936, 949, 950, 1250-1258";

/// After the quoted value of --code-page that names no code page written here.
inline constexpr std::string_view kNotACodePageText =
    " is not a code page this program writes; use one of ";
/// After a file's path when its text holds a character the code page lacks.
inline constexpr std::string_view kCharacterNotInCodePageText =
    ": a character is not in code page ";

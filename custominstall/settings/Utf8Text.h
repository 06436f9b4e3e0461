// Reading the UTF-8 text the front ends hand over: characters, counts and how a
// message names one character.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

/// One character of a text: its code point, or (for a byte that starts no valid UTF-8
/// sequence) no code point; bytes are its encoding in the text.
struct TextCharacter {
  std::optional<char32_t> codePoint;
  std::string_view bytes;
};

/// Takes the first character off text. An invalid sequence (overlong, surrogate, cut
/// short, beyond U+10FFFF) is taken as one byte without a code point.
TextCharacter TakeCharacter(std::string_view& text);

/// How many characters the text holds, as an edit box counts them (one per code
/// point; an invalid byte counts as one).
std::size_t CountCharacters(std::string_view text);

/// The character as a message names it: 'x' for printable ASCII, U+0009 for a control
/// character, 'é' (U+00E9) beyond ASCII, byte 0xE9 for a byte that is not UTF-8.
std::string DescribeCharacter(const TextCharacter& character);

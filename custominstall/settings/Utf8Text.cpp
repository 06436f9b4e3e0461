// Reading the UTF-8 text the front ends hand over.
#include "settings/Utf8Text.h"

#include <array>

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;
constexpr char32_t kFirstNonAscii = 0x80;
constexpr char32_t kFirstPrintable = 0x20;
constexpr char32_t kDelete = 0x7F;
constexpr char32_t kFirstShownNonAscii = 0xA0;  // U+0080..U+009F are control characters too

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0U) == 0x80U;
}

std::string Hex(unsigned value, int digits) {
  static constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                   '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
  std::string text(static_cast<std::size_t>(digits), '0');
  for (auto it = text.rbegin(); it != text.rend() && value != 0; ++it) {
    *it = kDigits[value % 16];
    value /= 16;
  }
  for (; value != 0; value /= 16) {
    text.insert(text.begin(), kDigits[value % 16]);
  }
  return text;
}

std::string CodePointName(char32_t codePoint) {
  return "U+" + Hex(static_cast<unsigned>(codePoint), 4);
}

}  // namespace

TextCharacter TakeCharacter(std::string_view& text) {
  if (text.empty()) {
    return {std::nullopt, text};
  }
  const auto lead = static_cast<unsigned char>(text.front());
  std::size_t length = 1;
  char32_t value = lead;
  char32_t smallest = 0;
  if (lead >= 0xF0U && lead <= 0xF4U) {
    length = 4;
    value = lead & 0x07U;
    smallest = 0x10000;
  } else if (lead >= 0xE0U && lead <= 0xEFU) {
    length = 3;
    value = lead & 0x0FU;
    smallest = 0x800;
  } else if (lead >= 0xC2U && lead <= 0xDFU) {
    length = 2;
    value = lead & 0x1FU;
    smallest = 0x80;
  }
  bool valid = lead < 0x80U || length > 1;
  if (length > text.size()) {
    valid = false;
  }
  for (std::size_t i = 1; valid && i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    valid = IsContinuation(byte);
    value = (value << 6U) | (byte & 0x3FU);
  }
  if (valid && (value < smallest || value > kLastCodePoint ||
                (value >= kFirstSurrogate && value <= kLastSurrogate))) {
    valid = false;
  }
  if (!valid) {
    const TextCharacter bad{std::nullopt, text.substr(0, 1)};
    text.remove_prefix(1);
    return bad;
  }
  const TextCharacter character{value, text.substr(0, length)};
  text.remove_prefix(length);
  return character;
}

std::size_t CountCharacters(std::string_view text) {
  std::size_t count = 0;
  while (!text.empty()) {
    TakeCharacter(text);
    ++count;
  }
  return count;
}

std::string DescribeCharacter(const TextCharacter& character) {
  if (character.bytes.empty()) {
    return {};
  }
  if (!character.codePoint) {
    return "byte 0x" + Hex(static_cast<unsigned char>(character.bytes.front()), 2);
  }
  const char32_t codePoint = *character.codePoint;
  if (codePoint < kFirstPrintable || (codePoint >= kDelete && codePoint < kFirstShownNonAscii)) {
    return CodePointName(codePoint);
  }
  const std::string shown = "'" + std::string(character.bytes) + "'";
  return codePoint < kFirstNonAscii ? shown : shown + " (" + CodePointName(codePoint) + ")";
}

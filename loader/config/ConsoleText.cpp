// Escaping of control bytes, C1 and bidi controls and broken UTF-8 for console lines.
#include "config/ConsoleText.h"

#include <cstdint>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void AppendByteEscape(std::string& line, unsigned char byte) {
  line += "\\x";
  line += kHex[byte >> 4];
  line += kHex[byte & 0x0F];
}

void AppendCodePointEscape(std::string& line, std::uint32_t codePoint) {
  line += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) line += kHex[(codePoint >> shift) & 0x0F];
}

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

/// Length of the well-formed UTF-8 sequence at text[pos] and its code point;
/// 0 when the bytes there are not one (overlong, surrogate, beyond U+10FFFF, cut short).
std::size_t DecodeUtf8(std::string_view text, std::size_t pos, std::uint32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  std::size_t length = 0;
  std::uint32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    min = 0x80;
    codePoint = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    min = 0x800;
    codePoint = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    min = 0x10000;
    codePoint = lead & 0x07u;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[pos + i]);
    if (!IsContinuation(byte)) return 0;
    codePoint = (codePoint << 6) | (byte & 0x3Fu);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < min || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

/// C1 controls act on many terminals (0x9B is CSI); bidi controls reorder what
/// the operator reads.
bool NeedsCodePointEscape(std::uint32_t codePoint) {
  return (codePoint >= 0x80 && codePoint <= 0x9F) || (codePoint >= 0x202A && codePoint <= 0x202E) ||
         (codePoint >= 0x2066 && codePoint <= 0x2069);
}

}  // namespace

std::string EscapeConsoleText(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const char c = text[pos];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendByteEscape(line, byte);
    } else if (byte < 0x80) {
      line += c;
    } else {
      std::uint32_t codePoint = 0;
      const std::size_t length = DecodeUtf8(text, pos, codePoint);
      if (length == 0) {
        AppendByteEscape(line, byte);  // not UTF-8: this byte alone, then go on
      } else {
        if (NeedsCodePointEscape(codePoint)) {
          AppendCodePointEscape(line, codePoint);
        } else {
          line.append(text.substr(pos, length));
        }
        pos += length;
        continue;
      }
    }
    ++pos;
  }
  return line;
}

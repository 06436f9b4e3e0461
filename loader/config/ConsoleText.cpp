// Escaping of control bytes for console lines.
#include "config/ConsoleText.h"

std::string EscapeConsoleText(std::string_view text) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      line += "\\r";
    } else if (c == '\n') {
      line += "\\n";
    } else if (byte < 0x20 || byte == 0x7F) {
      line += "\\x";
      line += kHex[byte >> 4];
      line += kHex[byte & 0x0F];
    } else {
      line += c;
    }
  }
  return line;
}

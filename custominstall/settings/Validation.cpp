// Input rules shared by the wizard pages and --batch.
#include "settings/Validation.h"

bool IsHexNumber(std::string_view text) {
  for (char c : text) {
    const bool digit = c >= '0' && c <= '9';
    const bool upperHex = c >= 'A' && c <= 'F';
    if (!digit && !upperHex) {
      return false;
    }
  }
  return true;
}

bool IsValidDirectory(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (text[i]) {
    case '/':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return false;
    case ':':
      // A drive colon is fine only when a backslash follows it.
      if (i + 1 >= text.size() || text[i + 1] != '\\') {
        return false;
      }
      break;
    default:
      break;
    }
  }
  return true;
}

std::string ToUpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

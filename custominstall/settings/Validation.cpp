// Input rules shared by the wizard pages and --batch.
#include "settings/Validation.h"

#include "settings/Utf8Text.h"

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

namespace {

// The characters Windows forbids in a path. Of the two slashes, the one that is not
// the path separator is forbidden; a colon is allowed only right before the separator.
bool HasNoForbiddenCharacter(std::string_view text, char forbiddenSlash, char separator) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == forbiddenSlash) {
      return false;
    }
    switch (c) {
      case '*':
      case '?':
      case '"':
      case '<':
      case '>':
      case '|':
        return false;
      case ':':
        // A drive colon is fine only when the separator follows it.
        if (i + 1 >= text.size() || text[i + 1] != separator) {
          return false;
        }
        break;
      default:
        break;
    }
  }
  return true;
}

}  // namespace

bool IsValidDirectory(std::string_view text) {
  return HasNoForbiddenCharacter(text, '/', '\\');
}

bool IsValidOutputDirectory(std::string_view text) {
  return HasNoForbiddenCharacter(text, '\\', '/');
}

bool IsFileNameStem(std::string_view text) {
  return text.find('/') == std::string_view::npos;
}

bool IsWindowsFileName(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20) {
      return false;
    }
  }
  return text.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

std::optional<std::string> InfFileNameProblem(std::string_view text) {
  if (text.starts_with(' ') || text.ends_with(' ')) {
    return std::string(kFileNameEdgeSpaceText);
  }
  while (!text.empty()) {
    const TextCharacter character = TakeCharacter(text);
    const std::string found = "; found " + DescribeCharacter(character) + ".";
    const char32_t c = character.codePoint.value_or(0);
    if (!character.codePoint || c > 0x7F) {
      return std::string(kFileNameAsciiText) + found;
    }
    if (c < 0x20 || c == 0x7F ||
        std::string_view("\\/:*?\"<>|;,=[]%").find(static_cast<char>(c)) !=
            std::string_view::npos) {
      return std::string(kInvalidFileNameText) + found;
    }
  }
  return std::nullopt;
}

bool NamesWindowsDevice(std::string_view text) {
  std::string_view stem = text.substr(0, text.find('.'));
  while (stem.ends_with(' ')) {
    stem.remove_suffix(1);
  }
  const std::string upper = ToUpperAscii(stem);
  for (const std::string_view device : {"CON", "PRN", "AUX", "NUL"}) {
    if (upper == device) {
      return true;
    }
  }
  const bool numbered = upper.size() == 4 && upper[3] >= '0' && upper[3] <= '9';
  return numbered && (upper.starts_with("COM") || upper.starts_with("LPT"));
}

bool HasHexPrefix(std::string_view text) {
  return text.starts_with("0x") || text.starts_with("0X");
}

bool IsInfQuotedText(std::string_view text) {
  return text.find('"') == std::string_view::npos;
}

bool HasNoEndOfFileMark(std::string_view text) {
  return text.find('\x1a') == std::string_view::npos;
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

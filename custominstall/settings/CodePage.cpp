// The Windows code pages a package's text files can be written in, through glibc's iconv.
#include "settings/CodePage.h"

#include <iconv.h>

#include <array>
#include <cerrno>

#include "settings/Utf8Text.h"

namespace {

// clang-format off
constexpr CodePageChoice kChoices[] = {
    {kAsciiOnly, "ASCII only"},
    {874, "874 (Thai)"},
    {932, "932 (Japanese)"},
    {936, "936 (Chinese, simplified)"},
    {949, "949 (Korean)"},
    {950, "950 (Chinese, traditional)"},
    {1250, "1250 (Central European)"},
    {1251, "1251 (Cyrillic)"},
    {1252, "1252 (Western European)"},
    {1253, "1253 (Greek)"},
    {1254, "1254 (Turkish)"},
    {1255, "1255 (Hebrew)"},
    {1256, "1256 (Arabic)"},
    {1257, "1257 (Baltic)"},
    {1258, "1258 (Vietnamese)"},
};
// clang-format on

// The double-byte code pages; every other one has one byte per character.
bool IsDoubleByte(int codePage) {
  return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// One iconv conversion, closed when it goes out of scope.
class Converter {
 public:
  Converter(const std::string& to, const std::string& from)
      : m_handle(::iconv_open(to.c_str(), from.c_str())) {}
  ~Converter() {
    if (Valid()) {
      ::iconv_close(m_handle);
    }
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Valid() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

  // The whole input converted; nothing when a character cannot be converted.
  std::optional<std::string> Convert(std::string_view input) {
    if (!Valid()) {
      return std::nullopt;
    }
    std::string output;
    std::array<char, 256> buffer{};
    // iconv's interface takes a non-const input pointer; it never writes through it.
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    // The last round, without input, flushes a character the converter still holds
    // (glibc's 1255 and 1258 wait for a combining mark that may follow).
    for (bool flushed = false; !flushed;) {
      const bool flushing = inLeft == 0;
      char* out = buffer.data();
      std::size_t outLeft = buffer.size();
      const std::size_t result =
          ::iconv(m_handle, flushing ? nullptr : &in, flushing ? nullptr : &inLeft, &out, &outLeft);
      output.append(buffer.data(), buffer.size() - outLeft);
      if (result == static_cast<std::size_t>(-1)) {
        if (errno != E2BIG) {
          return std::nullopt;
        }
        continue;
      }
      flushed = flushing;
    }
    return output;
  }

 private:
  iconv_t m_handle;
};

std::string IconvName(int codePage) {
  return "CP" + std::to_string(codePage);
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80U) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::span<const CodePageChoice> CodePageChoices() {
  return kChoices;
}

bool IsSupportedCodePage(int codePage) {
  for (const CodePageChoice& choice : kChoices) {
    if (choice.number == codePage) {
      return true;
    }
  }
  return false;
}

bool CodePageHolds(int codePage, std::string_view character) {
  if (IsAscii(character)) {
    return true;
  }
  if (codePage == kAsciiOnly || !IsSupportedCodePage(codePage)) {
    return false;
  }
  // Written as one character (glibc decomposes some letters of 1255 and 1258 into two,
  // which Windows would read back as two), and read back as itself.
  Converter to(IconvName(codePage), "UTF-8");
  const std::optional<std::string> encoded = to.Convert(character);
  const std::size_t longest = IsDoubleByte(codePage) ? 2 : 1;
  if (!encoded || encoded->empty() || encoded->size() > longest) {
    return false;
  }
  Converter back("UTF-8", IconvName(codePage));
  const std::optional<std::string> decoded = back.Convert(*encoded);
  return decoded && *decoded == character;
}

std::optional<std::string> EncodeInCodePage(std::string_view utf8, int codePage) {
  if (codePage == kAsciiOnly || IsAscii(utf8)) {
    return std::string(utf8);
  }
  // One character at a time: glibc would join a letter and a combining mark that follows
  // into one precomposed letter (1255, 1258), which Windows would read back as one.
  Converter to(IconvName(codePage), "UTF-8");
  std::string encoded;
  while (!utf8.empty()) {
    const TextCharacter character = TakeCharacter(utf8);
    if (!character.codePoint) {
      return std::nullopt;
    }
    if (IsAscii(character.bytes)) {
      encoded += character.bytes;
      continue;
    }
    const std::optional<std::string> bytes = to.Convert(character.bytes);
    if (!bytes) {
      return std::nullopt;
    }
    encoded += *bytes;
  }
  return encoded;
}

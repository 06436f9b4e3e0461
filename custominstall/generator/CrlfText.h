// The small text builder behind every generated text file: template rows in, CR LF lines out.
#pragma once

#include <span>
#include <string>
#include <string_view>

/// One value a template row can name as $(name).
struct Placeholder {
  std::string_view name;
  std::string_view value;
};

/// Ready-made rows that the INF templates use again and again.
inline constexpr std::string_view kEmpty = "";
inline constexpr std::string_view kDash =
    ";-----------------------------------------------------------------------------";
inline constexpr std::string_view kStar =
    ";*****************************************************************************";
inline constexpr std::string_view kShortStar =
    ";****************************************************************************";
static_assert(kDash.size() == 78 && kStar.size() == 78 && kShortStar.size() == 77);

/// Builds a file text line by line. Each row becomes one line ending in CR LF; every
/// "$(name)" in a row is replaced by its value in one pass, so a value is inserted
/// verbatim even if it looks like a placeholder itself. An unknown name stays as written.
class CrlfText {
 public:
  explicit CrlfText(std::span<const Placeholder> values) : m_values(values) {}

  CrlfText& Row(std::string_view row);
  CrlfText& Rows(std::span<const std::string_view> rows);
  /// Appends lines that are already finished (another builder's text).
  CrlfText& Append(std::string_view lines) {
    m_text.append(lines);
    return *this;
  }

  const std::string& Text() const { return m_text; }

 private:
  std::span<const Placeholder> m_values;
  std::string m_text;
};

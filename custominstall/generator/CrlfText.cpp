// The small text builder behind every generated text file.
#include "generator/CrlfText.h"

namespace {
constexpr std::string_view kOpen = "$(";
}  // namespace

CrlfText& CrlfText::Row(std::string_view row) {
  std::size_t pos = 0;
  while (pos < row.size()) {
    const std::size_t open = row.find(kOpen, pos);
    if (open == std::string_view::npos) {
      break;
    }
    const std::size_t close = row.find(')', open + kOpen.size());
    if (close == std::string_view::npos) {
      break;
    }
    const std::string_view name = row.substr(open + kOpen.size(), close - open - kOpen.size());
    const Placeholder* match = nullptr;
    for (const Placeholder& value : m_values) {
      if (value.name == name) {
        match = &value;
        break;
      }
    }
    if (match == nullptr) {
      m_text.append(row.substr(pos, open + kOpen.size() - pos));
      pos = open + kOpen.size();
      continue;
    }
    m_text.append(row.substr(pos, open - pos));
    m_text.append(match->value);
    pos = close + 1;
  }
  m_text.append(row.substr(pos));
  m_text.append("\r\n");
  return *this;
}

CrlfText& CrlfText::Rows(std::span<const std::string_view> rows) {
  for (std::string_view row : rows) {
    Row(row);
  }
  return *this;
}

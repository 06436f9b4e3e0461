// Profile parsing, lookups and line-splicing edits, and the safe whole-file rewrite.
#include "config/PrivateProfile.h"

#include "base/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);

enum class LineKind { Blank, Header, Comment, Entry, Keyless };

/// One line of the text with its parsed parts as offsets into the text.
struct ProfileLine {
  std::size_t begin = 0;  // first byte of the line
  std::size_t end = 0;    // end of its content (its line break starts here)
  std::size_t next = 0;   // first byte after its line break
  LineKind kind = LineKind::Blank;
  std::string_view name;    // header name or entry key, blanks trimmed
  std::size_t afterEq = 0;  // entries: first byte after the '='
  std::string_view value;   // entries: value, blanks trimmed
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Parameters lose spaces only: a tab in a name the caller passes is kept.
std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) c = FoldAscii(c);
  return folded;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

void ClassifyLine(std::string_view text, ProfileLine& line) {
  std::string_view content = text.substr(line.begin, line.end - line.begin);
  std::size_t lead = 0;
  while (lead < content.size() && IsBlank(content[lead])) ++lead;
  content.remove_prefix(lead);
  if (content.empty()) {
    line.kind = LineKind::Blank;
    return;
  }
  if (content.front() == '[') {
    // The name runs to the first ']' (or the end of the line); the rest is ignored.
    std::string_view inner = content.substr(1);
    inner = inner.substr(0, inner.find(']'));
    line.kind = LineKind::Header;
    line.name = TrimBlanks(inner);
    return;
  }
  if (content.front() == ';') {
    line.kind = LineKind::Comment;
    return;
  }
  const std::size_t eq = content.find('=');
  if (eq == std::string_view::npos) {
    line.kind = LineKind::Keyless;
    return;
  }
  line.kind = LineKind::Entry;
  line.name = TrimBlanks(content.substr(0, eq));
  line.afterEq = line.begin + lead + eq + 1;
  line.value = TrimBlanks(content.substr(eq + 1));
}

// CR LF, LF alone and CR alone each end a line; a last line without a break still counts.
std::vector<ProfileLine> SplitLines(std::string_view text) {
  std::vector<ProfileLine> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    ProfileLine line;
    line.begin = pos;
    std::size_t end = text.find_first_of(kCrLf, pos);
    if (end == std::string_view::npos) end = text.size();
    line.end = end;
    line.next = end;
    if (end < text.size()) {
      line.next = end + 1;
      if (text[end] == '\r' && line.next < text.size() && text[line.next] == '\n') ++line.next;
    }
    ClassifyLine(text, line);
    lines.push_back(line);
    pos = line.next;
  }
  return lines;
}

/// Index of the first header named section, or kNoLine.
std::size_t FindSection(const std::vector<ProfileLine>& lines, std::string_view section) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind == LineKind::Header && SameName(lines[i].name, section)) return i;
  }
  return kNoLine;
}

/// Index of the line after the section that starts at header (next header or the end).
std::size_t SectionEnd(const std::vector<ProfileLine>& lines, std::size_t header) {
  std::size_t i = header + 1;
  while (i < lines.size() && lines[i].kind != LineKind::Header) ++i;
  return i;
}

/// Index of the first entry named key in the section starting at header, or kNoLine.
std::size_t FindKey(const std::vector<ProfileLine>& lines, std::size_t header,
                    std::string_view key) {
  const std::size_t end = SectionEnd(lines, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines[i].kind == LineKind::Entry && SameName(lines[i].name, key)) return i;
  }
  return kNoLine;
}

bool HoldsLineBreakOrNul(std::optional<std::string_view> s) {
  return s && s->find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The line break the text already uses (its first one), so that added lines
// match the file; CR LF for a text without any.
std::string_view LineBreakOf(std::string_view text) {
  const std::size_t at = text.find_first_of(kCrLf);
  if (at == std::string_view::npos) return kCrLf;
  if (text[at] == '\n') return "\n";
  return at + 1 < text.size() && text[at + 1] == '\n' ? kCrLf : std::string_view("\r");
}

// A file whose last byte is not a line break gets one before it is modified.
void TerminateLastLine(std::string& text) {
  if (!text.empty() && text.back() != '\n' && text.back() != '\r') text.append(LineBreakOf(text));
}

std::string EntryLine(std::string_view key, std::string_view value, std::string_view lineBreak) {
  std::string line;
  line.reserve(key.size() + value.size() + 3);
  line.append(key).append("=").append(value).append(lineBreak);
  return line;
}

bool DeleteSection(std::string& text, std::string_view section) {
  std::vector<ProfileLine> lines = SplitLines(text);
  if (FindSection(lines, section) == kNoLine) return true;
  TerminateLastLine(text);
  lines = SplitLines(text);
  const std::size_t header = FindSection(lines, section);
  const std::size_t end = SectionEnd(lines, header);
  std::string kept;
  kept.reserve(text.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool inSection = i >= header && i < end;
    const LineKind kind = lines[i].kind;
    // Comment and blank lines of the section stay where they are.
    if (inSection &&
        (kind == LineKind::Header || kind == LineKind::Entry || kind == LineKind::Keyless)) {
      continue;
    }
    kept.append(text, lines[i].begin, lines[i].next - lines[i].begin);
  }
  text = std::move(kept);
  return true;
}

bool DeleteKey(std::string& text, std::string_view section, std::string_view key) {
  std::vector<ProfileLine> lines = SplitLines(text);
  std::size_t header = FindSection(lines, section);
  if (header == kNoLine || FindKey(lines, header, key) == kNoLine) return true;
  TerminateLastLine(text);
  lines = SplitLines(text);
  header = FindSection(lines, section);
  const ProfileLine& line = lines[FindKey(lines, header, key)];
  text.erase(line.begin, line.next - line.begin);
  return true;
}

bool SetKey(std::string& text, std::string_view section, std::string_view key,
            std::string_view value) {
  const std::string lineBreak(LineBreakOf(text));
  TerminateLastLine(text);
  const std::vector<ProfileLine> lines = SplitLines(text);
  const std::size_t header = FindSection(lines, section);
  if (header == kNoLine) {
    text.append("[").append(section).append("]").append(lineBreak).append(
        EntryLine(key, value, lineBreak));
    return true;
  }
  const std::size_t found = FindKey(lines, header, key);
  if (found != kNoLine) {
    // Keep everything up to the first non-blank after '=' (indentation, the key's
    // own spelling, spacing); the old value and any "; remark" after it go.
    const ProfileLine& line = lines[found];
    std::size_t from = line.afterEq;
    while (from < line.end && IsBlank(text[from])) ++from;
    text.replace(from, line.end - from, value);
    return true;
  }
  // New keys go after the section's last entry (keyless lines count), before the
  // comments and blank lines that follow it.
  std::size_t insertAfter = header;
  const std::size_t end = SectionEnd(lines, header);
  for (std::size_t i = header + 1; i < end; ++i) {
    if (lines[i].kind == LineKind::Entry || lines[i].kind == LineKind::Keyless) insertAfter = i;
  }
  text.insert(lines[insertAfter].next, EntryLine(key, value, lineBreak));
  return true;
}

std::string_view StripQuotePair(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string_view CutAtNul(std::string_view s) {
  return s.substr(0, s.find('\0'));
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    // A write that takes nothing would be retried forever; the disk is not taking data.
    if (n == 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

mode_t CurrentUmask() {
  // umask() cannot be read without setting it (not thread-safe); /proc tells it.
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
  }
  return 022;
}

}  // namespace

ProfileIndex::ProfileIndex(std::string_view text) {
  KeyMap* section = nullptr;  // the section being read; null under a repeated header
  for (const ProfileLine& line : SplitLines(text)) {
    if (line.kind == LineKind::Header) {
      // First section wins: a later header of the same name is skipped whole.
      const auto [it, inserted] = m_sections.try_emplace(FoldName(line.name));
      section = inserted ? &it->second : nullptr;
    } else if (line.kind == LineKind::Entry && section != nullptr) {
      section->try_emplace(FoldName(line.name), line.value);  // first key wins
    }
  }
}

std::optional<std::string> ProfileIndex::Find(std::string_view section,
                                              std::string_view key) const {
  const auto found = m_sections.find(FoldName(TrimSpaces(section)));
  if (found == m_sections.end()) return std::nullopt;
  const auto entry = found->second.find(FoldName(TrimSpaces(key)));
  if (entry == found->second.end()) return std::nullopt;
  return std::string(CutAtNul(StripQuotePair(entry->second)));
}

std::string ProfileIndex::Get(std::string_view section, std::string_view key,
                              std::string_view def) const {
  if (std::optional<std::string> value = Find(section, key)) return *value;
  def = CutAtNul(def);
  while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
  return std::string(def);
}

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  return ProfileIndex(text).Find(section, key);
}

std::string GetProfileString(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view def) {
  return ProfileIndex(text).Get(section, key, def);
}

bool WriteProfileString(std::string& text, std::optional<std::string_view> section,
                        std::optional<std::string_view> key,
                        std::optional<std::string_view> value) {
  if (!section) return false;
  if (HoldsLineBreakOrNul(section) || HoldsLineBreakOrNul(key) || HoldsLineBreakOrNul(value)) {
    return false;
  }
  const std::string_view sectionName = TrimSpaces(*section);
  if (!key) return DeleteSection(text, sectionName);
  const std::string_view keyName = TrimSpaces(*key);
  if (!value) return DeleteKey(text, sectionName, keyName);
  return SetKey(text, sectionName, keyName, *value);
}

std::optional<std::string> ReadProfileFile(const std::string& path) {
  std::string error;
  return ReadProfileFile(path, error);
}

std::optional<std::string> ReadProfileFile(const std::string& path, std::string& error) {
  UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (file.Get() < 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  // Only a regular file: a FIFO or device could block or never end.
  if (!S_ISREG(info.st_mode)) {
    error = "not a regular file";
    return std::nullopt;
  }
  const std::string tooLarge = "larger than " + std::to_string(kMaxProfileFileSize) + " bytes";
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxProfileFileSize) {
    error = tooLarge;
    return std::nullopt;
  }
  std::string content;
  content.reserve(static_cast<std::size_t>(info.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      return std::nullopt;
    }
    if (n == 0) break;
    if (content.size() + static_cast<std::size_t>(n) > kMaxProfileFileSize) {
      error = tooLarge;
      return std::nullopt;
    }
    content.append(chunk, static_cast<std::size_t>(n));
  }
  return content;
}

bool ReplaceProfileFile(const std::string& path, std::string_view content) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path target(path);
  // Rewrite the file a link points to; renaming over the link would replace it.
  if (fs::is_symlink(target, ec)) {
    const fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) return false;
    target = resolved;
  }
  mode_t mode = 0666 & ~CurrentUmask();
  struct stat old {};
  const bool existed = ::stat(target.c_str(), &old) == 0;
  if (existed) {
    // A read-only file stays as it is, as an in-place write would have failed.
    if (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0) return false;
    mode = old.st_mode & 07777;
  }
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  UniqueFd file(::mkstemp(temp.data()));
  if (file.Get() < 0) return false;
  bool ok = WriteAll(file.Get(), content) && ::fchmod(file.Get(), mode) == 0;
  if (ok && existed) {
    // Keep the owner when we may (running as root); a failure here is harmless.
    if (::fchown(file.Get(), old.st_uid, old.st_gid) != 0) { /* owner stays ours */
    }
  }
  ok = ok && ::fsync(file.Get()) == 0;
  ok = file.Close() && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

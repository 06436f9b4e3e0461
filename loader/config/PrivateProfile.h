// INI-style profile files read and edited the way the Windows private-profile
// functions do it: byte strings, case-insensitive ASCII names, first section and
// first key win, and edits that splice whole lines so every other byte of the
// file (comments, unknown sections, spacing, line endings) stays as it was.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

/// Largest profile file read or rewritten (a bigger one counts as unreadable,
/// so a runaway file or a device node cannot exhaust memory).
inline constexpr std::size_t kMaxProfileFileSize = 8 * 1024 * 1024;

/// The value of key in the first section named section of a profile text:
/// blanks trimmed, one pair of matching quotes removed, cut at a NUL byte.
/// Nothing when the section or key is absent (comment and keyless lines never match).
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

/// A profile text split into lines once, with its first sections and their first
/// keys indexed: each lookup costs the key's length, not the text's, so reading
/// many keys stays linear in the file's size. The text must outlive the index.
class ProfileIndex {
 public:
  explicit ProfileIndex(std::string_view text);
  /// FindProfileValue on the indexed text.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;
  /// GetProfileString on the indexed text.
  std::string Get(std::string_view section, std::string_view key, std::string_view def) const;

 private:
  using KeyMap = std::unordered_map<std::string, std::string_view>;
  std::unordered_map<std::string, KeyMap> m_sections;  // folded names -> raw trimmed values
};

/// Lookup on a profile text: the value, or def with its trailing spaces removed
/// when the value is absent. An empty value beats the default.
std::string GetProfileString(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view def);

/// One write on a profile text, in memory. nullopt stands for the NULL argument:
/// value nullopt deletes the key's line, key nullopt deletes the section's header
/// and entry lines (its comments stay). Created lines end in the text's own
/// line break (its first one; CR LF for a text without any).
/// Returns false, leaving text unchanged, when section is nullopt or an argument
/// holds CR, LF or NUL (it would break the file's lines).
bool WriteProfileString(std::string& text, std::optional<std::string_view> section,
                        std::optional<std::string_view> key, std::optional<std::string_view> value);

/// The whole content of a file; nothing when it cannot be opened or read, or is
/// larger than kMaxProfileFileSize.
std::optional<std::string> ReadProfileFile(const std::string& path);
/// ReadProfileFile that also says why a file could not be read (the system's
/// reason, "not a regular file" or "larger than 8388608 bytes").
std::optional<std::string> ReadProfileFile(const std::string& path, std::string& error);

/// Replaces a file's content safely: a temporary file in the same folder is
/// written, synced and renamed over it, keeping the old permission bits (a new
/// file gets 0666 less the umask). A symbolic link is followed, not replaced.
/// false, with the old file untouched, when any step fails.
bool ReplaceProfileFile(const std::string& path, std::string_view content);

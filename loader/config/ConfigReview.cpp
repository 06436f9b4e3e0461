// Unknown names, unread keys, shared devices and unusable folders in Romvale.cfg.
#include "config/ConfigReview.h"

#include "config/ConsoleText.h"
#include "config/PrivateProfile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>

namespace {

struct KnownSection {
  std::string_view name;
  std::vector<std::string_view> keys;
};

const std::vector<KnownSection>& KnownSections() {
  static const std::vector<KnownSection> sections = {
      {"Location", {"ROMFILE", "BLLFILE"}},
      {"Communication",
       {"PORT", "TYPE", "BAUD", "MODEM", "TCPPACE", "TCPPORT", "TCPADDRESS", "TCPMAXCONN",
        "TCPIDLE", "RECONNECT", "SESSIONTIMEOUT", "DISPATCH", "FRAMEWAIT", "CONCURRENT",
        "METRICSPORT", "METRICSADDRESS", "PORTS"}},
      {"Romtype", {"ROMTYPE1"}},
      {"Ports", {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8"}},
  };
  return sections;
}

std::string Fold(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + cost});
      diagonal = above;
    }
  }
  return row[b.size()];
}

template <typename Names>
std::string_view Nearest(std::string_view name, const Names& names) {
  const std::string folded = Fold(name);
  std::string_view best;
  std::size_t bestDistance = 0;
  for (const auto& candidate : names) {
    const std::size_t distance = EditDistance(folded, Fold(candidate));
    if (best.empty() || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return best;
}

const KnownSection* FindSection(std::string_view name) {
  const std::string folded = Fold(name);
  for (const KnownSection& section : KnownSections()) {
    if (Fold(section.name) == folded) return &section;
  }
  return nullptr;
}

/// COM9..COM16 in [Ports]: read only for the lines of PORTS.
bool IsLinePortKey(std::string_view folded) {
  if (folded.size() != 4 && folded.size() != 5) return false;
  for (int port = kPortCount + 1; port <= kLinePortCount; ++port) {
    if (folded == "COM" + std::to_string(port)) return true;
  }
  return false;
}

bool IsKnownKey(const KnownSection& section, std::string_view key, bool linesListed = false) {
  const std::string folded = Fold(key);
  if (linesListed && section.name == "Ports" && IsLinePortKey(folded)) return true;
  if (section.name == "Romtype" && folded.starts_with("ROMTYPE") && folded.size() > 7) {
    return std::all_of(folded.begin() + 7, folded.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
  }
  return std::any_of(section.keys.begin(), section.keys.end(),
                     [&](std::string_view known) { return Fold(known) == folded; });
}

/// The section another known key belongs in, if any.
const KnownSection* HomeOfKey(std::string_view key) {
  for (const KnownSection& section : KnownSections()) {
    if (IsKnownKey(section, key)) return &section;
  }
  return nullptr;
}

std::string LinePrefix(std::size_t lineNo) {
  return "line " + std::to_string(lineNo) + ": ";
}

/// The warning for an entry whose key its section does not know.
std::string UnknownKey(const KnownSection& section, std::string_view key) {
  std::string warning = "unknown key [" + std::string(section.name) + "] " + EscapeConsoleText(key);
  if (const KnownSection* home = HomeOfKey(key)) {
    return warning + " (it belongs in [" + std::string(home->name) + "])";
  }
  return warning + " (did you mean " + std::string(Nearest(key, section.keys)) + "?)";
}

/// Splits a profile text into lines: CR LF, LF and CR each end one.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool HasLinePorts(const ProfileIndex& index) {
  return index.Find("Communication", "PORTS").has_value();
}

/// The device [Ports] itself gives a COM name, in the form compared; empty when none.
std::string MappedDevice(const ProfileIndex& index, std::string_view name) {
  const auto value = index.Find("Ports", name);
  if (!value || value->empty()) return {};
  return std::filesystem::path(*value).lexically_normal().string();
}

void ReviewPortDevices(const ProfileIndex& index, std::vector<std::string>& warnings) {
  const std::size_t mapped =
      static_cast<std::size_t>(HasLinePorts(index) ? kLinePortCount : kPortCount);
  std::vector<std::string> devices(mapped);
  for (std::size_t port = 0; port < devices.size(); ++port) {
    devices[port] = MappedDevice(index, "COM" + std::to_string(port + 1));
  }
  for (std::size_t a = 0; a < devices.size(); ++a) {
    for (std::size_t b = a + 1; b < devices.size(); ++b) {
      if (devices[a].empty() || devices[a] != devices[b]) continue;
      warnings.push_back("[Ports] COM" + std::to_string(a + 1) + " and COM" +
                         std::to_string(b + 1) + " both name " + EscapeConsoleText(devices[a]));
    }
  }
}

}  // namespace

void ReviewConfigNames(std::string_view text, std::vector<std::string>& warnings) {
  const ProfileIndex index(text);
  const bool linesListed = HasLinePorts(index);
  std::set<std::string> seenSections;
  std::set<std::string> seenKeys;
  std::optional<std::string> section;  // nothing before the first header
  const KnownSection* known = nullptr;
  bool reading = false;  // the first section of its name: its keys count
  const std::vector<std::string_view> lines = Lines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view line = Trim(lines[i]);
    const std::string prefix = LinePrefix(i + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name = Trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      section = std::string(name);
      known = FindSection(name);
      reading = seenSections.insert(Fold(name)).second;
      seenKeys.clear();
      if (!reading) {
        warnings.push_back(prefix + "section [" + EscapeConsoleText(name) +
                           "] again: only the first one is read");
      } else if (known == nullptr) {
        std::vector<std::string_view> names;
        for (const KnownSection& s : KnownSections()) names.push_back(s.name);
        warnings.push_back(prefix + "unknown section [" + EscapeConsoleText(name) +
                           "] (did you mean [" + std::string(Nearest(name, names)) + "]?)");
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;  // a keyless line is never read
    const std::string_view key = Trim(line.substr(0, equals));
    if (!section) {
      warnings.push_back(prefix + "key " + EscapeConsoleText(key) +
                         " before any [section] is never read");
      continue;
    }
    if (!reading || known == nullptr) continue;  // said once for the whole section
    if (!IsKnownKey(*known, key, linesListed)) {
      warnings.push_back(prefix + UnknownKey(*known, key));
    } else if (!seenKeys.insert(Fold(key)).second) {
      warnings.push_back(prefix + "[" + std::string(known->name) + "] " + EscapeConsoleText(key) +
                         " again: only the first one is read");
    }
  }
  ReviewPortDevices(index, warnings);
}

void ReviewSerialLines(std::string_view text, const std::vector<SerialLineConfig>& lines,
                       std::vector<std::string>& warnings) {
  const ProfileIndex index(text);
  const std::string what(kLinePortsWarning);
  for (std::size_t a = 0; a < lines.size(); ++a) {
    if (lines[a].device.empty()) {
      warnings.push_back(what + lines[a].name + " has no device; add [Ports] " + lines[a].name +
                         "=<device>");
      continue;
    }
    const std::string device = std::filesystem::path(lines[a].device).lexically_normal().string();
    const bool mappedA = !MappedDevice(index, lines[a].name).empty();
    for (std::size_t b = a + 1; b < lines.size(); ++b) {
      if (lines[b].device.empty() ||
          std::filesystem::path(lines[b].device).lexically_normal().string() != device)
        continue;
      if (mappedA && !MappedDevice(index, lines[b].name).empty()) continue;  // said for [Ports]
      warnings.push_back(what + lines[a].name + " and " + lines[b].name + " both use " +
                         EscapeConsoleText(device));
    }
  }
}

std::vector<std::string> ReviewImageFolders(const LoaderConfig& cfg) {
  std::vector<std::string> warnings;
  const std::array<std::pair<std::string_view, const std::string*>, 2> folders = {
      {{"ROMFILE", &cfg.romDir}, {"BLLFILE", &cfg.bllDir}}};
  for (const auto& [key, dir] : folders) {
    const std::string path = dir->empty() ? "." : *dir;
    const std::string what = "[Location] " + std::string(key) + "=" + EscapeConsoleText(path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
      warnings.push_back(what + ": folder " +
                         (errno == ENOENT ? std::string("does not exist") : std::strerror(errno)));
    } else if (!S_ISDIR(info.st_mode)) {
      warnings.push_back(what + ": not a folder");
    } else if (::access(path.c_str(), R_OK | X_OK) != 0) {
      warnings.push_back(what + ": folder cannot be read (" + std::strerror(errno) + ")");
    }
  }
  return warnings;
}

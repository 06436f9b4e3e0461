// Romvale.cfg: the value rules applied when loading, and the save with its
// ROM-type pair splitting, both on the private-profile module.
#include "config/LoaderConfig.h"

#include "config/PrivateProfile.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <system_error>

namespace {

constexpr std::string_view kLocation = "Location";
constexpr std::string_view kCommunication = "Communication";
constexpr std::string_view kRomtype = "Romtype";
constexpr std::string_view kPorts = "Ports";
constexpr std::string_view kDefaultPortValue = "COM1";
constexpr std::string_view kDefaultTypeValue = "RS232";
constexpr std::string_view kModemTypeValue = "MODEM";
constexpr std::string_view kDefaultBaudValue = "57600bps";
constexpr char kRomTypeSeparator = '|';

std::string RomTypeKey(std::size_t number) { return "ROMTYPE" + std::to_string(number); }
std::string PortKey(int port) { return "COM" + std::to_string(port); }

std::string DirectoryOrCurrent(std::string_view text, std::string_view key,
                               const std::string& curDir) {
  // The current directory is used verbatim (not trimmed as a lookup default would be).
  std::optional<std::string> value = FindProfileValue(text, kLocation, key);
  return (value && !value->empty()) ? *value : curDir;
}

void ApplyPort(std::string_view value, int& port) {
  // Only the first four bytes count, so COM10 reads as port 1.
  for (int n = 1; n <= kPortCount; ++n) {
    if (value.substr(0, 4) == PortKey(n)) {
      port = n;
      return;
    }
  }
}

void ApplyBaud(std::string_view value, int& baudIndex) {
  for (int i = 0; i < kRateCount; ++i) {
    const std::string_view name = RateAt(i).strConfigText;
    if (value.substr(0, name.size()) == name) {
      baudIndex = i;
      return;
    }
  }
}

std::string JoinRomTypes(std::string_view text) {
  std::string joined;
  for (std::size_t number = 1;; ++number) {
    std::optional<std::string> value = FindProfileValue(text, kRomtype, RomTypeKey(number));
    if (!value || value->empty()) break;
    const std::size_t needed = value->size() + (joined.empty() ? 0 : 1);
    // Keep whole values only: a cut pattern would be a wrong filter.
    if (joined.size() + needed > kMaxRomTypesLength) break;
    if (!joined.empty()) joined.push_back(kRomTypeSeparator);
    joined.append(*value);
  }
  return joined;
}

int ParseTcpPace(std::string_view text) {
  std::optional<std::string> value = FindProfileValue(text, kCommunication, "TCPPACE");
  if (!value) return kDefaultTcpPaceMs;
  int pace = -1;
  const char* first = value->data();
  const char* last = first + value->size();
  const auto [end, ec] = std::from_chars(first, last, pace);
  if (ec != std::errc() || end != last || pace < 0 || pace > kMaxTcpPaceMs) {
    return kDefaultTcpPaceMs;
  }
  return pace;
}

bool IsProfileBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

/// The value as it must be written to read back unchanged: a value with blanks
/// at an end, or already wrapped in a pair of quotes, gets one pair of quotes
/// that the reader removes again.
std::string StorableValue(std::string_view value) {
  if (value.empty()) return {};
  const bool edgeBlank = IsProfileBlank(value.front()) || IsProfileBlank(value.back());
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  if (!edgeBlank && !quoted) return std::string(value);
  return "\"" + std::string(value) + "\"";
}

}  // namespace

void ParseLoaderConfig(std::string_view text, const std::string& curDir, LoaderConfig& cfg) {
  cfg.m_strRomDir = DirectoryOrCurrent(text, "ROMFILE", curDir);
  cfg.m_strBllDir = DirectoryOrCurrent(text, "BLLFILE", curDir);
  ApplyPort(GetProfileString(text, kCommunication, "PORT", kDefaultPortValue), cfg.m_nPort);
  const std::string type = GetProfileString(text, kCommunication, "TYPE", kDefaultTypeValue);
  cfg.m_nCommType = type.starts_with(kModemTypeValue) ? COMM_MODEM : COMM_RS232;
  ApplyBaud(GetProfileString(text, kCommunication, "BAUD", kDefaultBaudValue), cfg.m_nBaudIndex);
  cfg.m_strModemInit = GetProfileString(text, kCommunication, "MODEM", "");
  cfg.m_szRomTypes = JoinRomTypes(text);
  for (int port = 1; port <= kPortCount; ++port) {
    std::optional<std::string> device = FindProfileValue(text, kPorts, PortKey(port));
    cfg.m_PortDevices[static_cast<std::size_t>(port - 1)] =
        (device && !device->empty()) ? *device : DefaultPortDevice(port);
  }
  cfg.m_nTcpPace = ParseTcpPace(text);
  // Session keys; a value that is not understood keeps the default.
  if (const auto value = FindProfileValue(text, kCommunication, "SESSIONTIMEOUT")) {
    int seconds = -1;
    const auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), seconds);
    if (ec == std::errc() && end == value->data() + value->size() && seconds >= 0) {
      cfg.m_nSessionTimeoutSec = seconds;
    }
  }
  if (const auto value = FindProfileValue(text, kCommunication, "CONCURRENT")) {
    if (*value == "1" || *value == "0") cfg.m_bConcurrent = *value == "1";
  }
}

bool LoadLoaderConfig(const std::string& path, const std::string& curDir, LoaderConfig& cfg) {
  const std::optional<std::string> text = ReadProfileFile(path);
  if (!text) return false;
  ParseLoaderConfig(*text, curDir, cfg);
  return true;
}

std::vector<std::string> SplitRomTypePairs(std::string_view romTypes) {
  std::vector<std::string> values;
  std::size_t start = 0;
  while (start < romTypes.size()) {
    const std::size_t first = romTypes.find(kRomTypeSeparator, start);
    if (first == std::string_view::npos) break;  // a remainder without '|' is not written
    const std::size_t second = romTypes.find(kRomTypeSeparator, first + 1);
    if (second == std::string_view::npos) {
      values.emplace_back(romTypes.substr(start));
      break;
    }
    values.emplace_back(romTypes.substr(start, second - start));
    start = second + 1;
  }
  return values;
}

bool UpdateLoaderConfigText(std::string& text, const LoaderConfig& cfg) {
  std::string edited = text;
  const bool validBaud =
      IsRateIndex(cfg.m_nBaudIndex);
  const std::string_view baud =
      validBaud ? RateAt(cfg.m_nBaudIndex).strConfigText : std::string_view();
  bool ok = WriteProfileString(edited, kLocation, "ROMFILE", StorableValue(cfg.m_strRomDir)) &&
            WriteProfileString(edited, kLocation, "BLLFILE", StorableValue(cfg.m_strBllDir)) &&
            WriteProfileString(edited, kCommunication, "PORT", "COM" + std::to_string(cfg.m_nPort)) &&
            WriteProfileString(edited, kCommunication, "TYPE",
                               cfg.m_nCommType == COMM_MODEM ? kModemTypeValue : kDefaultTypeValue) &&
            WriteProfileString(edited, kCommunication, "BAUD", baud) &&
            WriteProfileString(edited, kCommunication, "MODEM", StorableValue(cfg.m_strModemInit));
  const std::vector<std::string> pairs = SplitRomTypePairs(cfg.m_szRomTypes);
  for (std::size_t i = 0; ok && i < pairs.size(); ++i) {
    ok = WriteProfileString(edited, kRomtype, RomTypeKey(i + 1), StorableValue(pairs[i]));
  }
  if (!ok) return false;
  text = std::move(edited);
  return true;
}

bool SaveLoaderConfig(const std::string& path, const LoaderConfig& cfg) {
  std::error_code ec;
  std::string text;
  if (std::filesystem::exists(std::filesystem::path(path), ec)) {
    std::optional<std::string> old = ReadProfileFile(path);
    if (!old) return false;  // never overwrite a file we could not read
    text = std::move(*old);
  }
  if (!UpdateLoaderConfigText(text, cfg)) return false;
  return ReplaceProfileFile(path, text);
}

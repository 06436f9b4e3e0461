// Romvale.cfg: the value rules applied when loading, and the save with its
// ROM-type pair splitting, both on the private-profile module.
#include "config/LoaderConfig.h"

#include "config/ConfigReview.h"
#include "config/ConsoleText.h"
#include "config/PrivateProfile.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
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
constexpr std::string_view kNoPortValue = "NONE";
constexpr std::string_view kLinePortsKey = "PORTS";
constexpr char kLinePortSeparator = ',';
constexpr std::string_view kLinePortLeftOut = "; left out";
constexpr char kRomTypeSeparator = '|';

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto fold = [](char c) {
      return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string RomTypeKey(std::size_t number) {
  return "ROMTYPE" + std::to_string(number);
}
std::string PortKey(int port) {
  return "COM" + std::to_string(port);
}

/// Reads the keys of one Romvale.cfg text from its index and collects a
/// warning for each value it cannot use.
class ConfigReader {
 public:
  ConfigReader(std::string_view text, std::vector<std::string>& warnings)
      : m_index(text), m_warnings(warnings) {}

  std::optional<std::string> Find(std::string_view section, std::string_view key) const {
    return m_index.Find(section, key);
  }
  std::string Get(std::string_view section, std::string_view key, std::string_view def) const {
    return m_index.Get(section, key, def);
  }

  void Warn(std::string_view section, std::string_view key, std::string_view value,
            std::string_view expected, std::string_view used) {
    m_warnings.push_back("[" + std::string(section) + "] " + std::string(key) + "=" +
                         EscapeConsoleText(value) + " not understood (" + std::string(expected) +
                         "); using " + std::string(used));
  }

  /// A whole decimal number in [min, max]; def with a warning for anything else.
  int Number(std::string_view key, int def, int min, int max, std::string_view expected) {
    const std::optional<std::string> value = Find(kCommunication, key);
    if (!value) return def;
    int number = 0;
    const char* first = value->data();
    const char* last = first + value->size();
    const auto [end, ec] = std::from_chars(first, last, number);
    if (ec != std::errc() || end != last || number < min || number > max) {
      Warn(kCommunication, key, *value, expected, std::to_string(def));
      return def;
    }
    return number;
  }

  /// One of two words (ASCII case ignored); def with a warning for anything else.
  bool Choice(std::string_view key, std::string_view yes, std::string_view no, bool def) {
    const std::optional<std::string> value = Find(kCommunication, key);
    if (!value) return def;
    if (SameWord(*value, yes)) return true;
    if (SameWord(*value, no)) return false;
    Warn(kCommunication, key, *value, std::string(yes) + " or " + std::string(no), def ? yes : no);
    return def;
  }

  std::vector<std::string>& Warnings() { return m_warnings; }

 private:
  ProfileIndex m_index;
  std::vector<std::string>& m_warnings;
};

std::string DirectoryOrCurrent(const ConfigReader& reader, std::string_view key,
                               const std::string& curDir) {
  // The current directory is used verbatim (not trimmed as a lookup default would be).
  std::optional<std::string> value = reader.Find(kLocation, key);
  return (value && !value->empty()) ? *value : curDir;
}

void ApplyPort(ConfigReader& reader, LoaderConfig& cfg) {
  const std::string value = reader.Get(kCommunication, "PORT", kDefaultPortValue);
  if (SameWord(value, kNoPortValue)) {
    cfg.noSerialPort = true;
    return;
  }
  cfg.noSerialPort = false;
  // Only the first four bytes count, so COM10 reads as port 1.
  for (int n = 1; n <= kPortCount; ++n) {
    if (std::string_view(value).substr(0, 4) == PortKey(n)) {
      cfg.port = n;
      if (value.size() != 4)
        reader.Warn(kCommunication, "PORT", value, "COM1..COM8 or NONE", PortKey(n));
      return;
    }
  }
  reader.Warn(kCommunication, "PORT", value, "COM1..COM8 or NONE", PortKey(cfg.port));
}

/// The COM number of a PORTS name: COM1..COM16, ASCII case ignored, no leading zero.
std::optional<int> LinePortNumber(std::string_view name) {
  if (name.size() < 4 || name.size() > 5 || !SameWord(name.substr(0, 3), "COM") || name[3] == '0')
    return std::nullopt;
  int number = 0;
  const char* last = name.data() + name.size();
  const auto [end, ec] = std::from_chars(name.data() + 3, last, number);
  if (ec != std::errc() || end != last || number < 1 || number > kLinePortCount)
    return std::nullopt;
  return number;
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\v\f";
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

/// PORTS: up to kLinePortCount comma-separated names, each used once; a warning
/// for each name left out.
void ApplyLinePorts(ConfigReader& reader, LoaderConfig& cfg) {
  const std::optional<std::string> value = reader.Find(kCommunication, kLinePortsKey);
  cfg.linePortsListed = value.has_value();
  cfg.linePorts.clear();
  if (!value || value->empty()) return;
  const std::string what(kLinePortsWarning);
  std::string_view rest = *value;
  for (std::size_t count = 1;; ++count) {
    const std::size_t comma = rest.find(kLinePortSeparator);
    const std::string_view name = TrimBlanks(rest.substr(0, comma));
    if (count > static_cast<std::size_t>(kLinePortCount)) {
      const std::size_t total = count + static_cast<std::size_t>(std::count(
                                            rest.begin(), rest.end(), kLinePortSeparator));
      reader.Warnings().push_back(what + std::to_string(total) + " names, at most " +
                                  std::to_string(kLinePortCount) + "; the rest are left out");
      return;
    }
    const std::optional<int> port = LinePortNumber(name);
    if (!port) {
      reader.Warnings().push_back(
          what + (name.empty() ? std::string("an empty name") : EscapeConsoleText(name)) +
          " is not a line name (COM1..COM" + std::to_string(kLinePortCount) + ")" +
          std::string(kLinePortLeftOut));
    } else if (std::find(cfg.linePorts.begin(), cfg.linePorts.end(), *port) !=
               cfg.linePorts.end()) {
      reader.Warnings().push_back(what + PortKey(*port) + " named twice" +
                                  std::string(kLinePortLeftOut));
    } else {
      cfg.linePorts.push_back(*port);
    }
    if (comma == std::string_view::npos) return;
    rest.remove_prefix(comma + 1);
  }
}

void ApplyType(ConfigReader& reader, LoaderConfig& cfg) {
  const std::string type = reader.Get(kCommunication, "TYPE", kDefaultTypeValue);
  cfg.commType = type.starts_with(kModemTypeValue) ? kCommModem : kCommRs232;
  if (type != kModemTypeValue && type != kDefaultTypeValue) {
    reader.Warn(kCommunication, "TYPE", type, "RS232 or MODEM",
                cfg.commType == kCommModem ? kModemTypeValue : kDefaultTypeValue);
  }
}

void ApplyBaud(ConfigReader& reader, LoaderConfig& cfg) {
  const std::string value = reader.Get(kCommunication, "BAUD", kDefaultBaudValue);
  for (int i = 0; i < kRateCount; ++i) {
    const std::string_view name = RateAt(i).configText;
    if (std::string_view(value).substr(0, name.size()) == name) {
      cfg.baudIndex = i;
      if (value.size() != name.size())
        reader.Warn(kCommunication, "BAUD", value, "e.g. 57600bps", name);
      return;
    }
  }
  const int kept = IsRateIndex(cfg.baudIndex) ? cfg.baudIndex : kDefaultBaudIndex;
  reader.Warn(kCommunication, "BAUD", value, "1200bps..115200bps", RateAt(kept).configText);
}

std::string JoinRomTypes(ConfigReader& reader) {
  std::string joined;
  for (std::size_t number = 1;; ++number) {
    std::optional<std::string> value = reader.Find(kRomtype, RomTypeKey(number));
    if (!value || value->empty()) break;
    const std::size_t needed = value->size() + (joined.empty() ? 0 : 1);
    // Keep whole values only: a cut pattern would be a wrong filter.
    if (joined.size() + needed > kMaxRomTypesLength) {
      reader.Warnings().push_back("[Romtype] " + RomTypeKey(number) +
                                  " and later not used: the list holds at most " +
                                  std::to_string(kMaxRomTypesLength) + " bytes");
      break;
    }
    if (!joined.empty()) joined.push_back(kRomTypeSeparator);
    joined.append(*value);
  }
  return joined;
}

bool IsNumericAddress(const std::string& address) {
  in6_addr buffer{};
  return ::inet_pton(AF_INET, address.c_str(), &buffer) == 1 ||
         ::inet_pton(AF_INET6, address.c_str(), &buffer) == 1;
}

/// A numeric address key: empty or absent gives def, anything else not numeric a warning.
std::string AddressKey(ConfigReader& reader, std::string_view key, const std::string& def,
                       std::string_view defText) {
  const std::optional<std::string> address = reader.Find(kCommunication, key);
  if (!address || address->empty()) return def;
  if (IsNumericAddress(*address)) return *address;
  reader.Warn(kCommunication, key, *address, "a numeric IPv4 or IPv6 address such as 127.0.0.1",
              defText);
  return def;
}

/// A port key that may also be NONE (ASCII case ignored): nothing listens then.
std::uint16_t PortOrNone(ConfigReader& reader, std::string_view key, int def, bool& none) {
  const std::optional<std::string> value = reader.Find(kCommunication, key);
  none = value && SameWord(*value, kNoPortValue);
  if (none) return 0;
  // A port that is off by default may also be given as 0.
  const int min = def == 0 ? 0 : 1;
  return static_cast<std::uint16_t>(reader.Number(
      key, def, min, kMaxTcpPort, min == 0 ? "0..65535 or NONE" : "1..65535 or NONE"));
}

void ApplyTcpKeys(ConfigReader& reader, LoaderConfig& cfg) {
  cfg.tcpPace = reader.Number("TCPPACE", kDefaultTcpPaceMs, 0, kMaxTcpPaceMs, "0..60000 ms");
  cfg.tcpPort = PortOrNone(reader, "TCPPORT", kDefaultTcpPort, cfg.noTcp);
  if (cfg.noTcp) cfg.tcpPort = kDefaultTcpPort;  // --tcp-port may still ask for one
  cfg.tcpAddress = AddressKey(reader, "TCPADDRESS", "", "every interface");
  bool metricsOff = false;
  cfg.metricsPort = PortOrNone(reader, "METRICSPORT", 0, metricsOff);
  cfg.metricsAddress = AddressKey(reader, "METRICSADDRESS", std::string(kDefaultMetricsAddress),
                                  kDefaultMetricsAddress);
  cfg.tcpMaxConn = reader.Number("TCPMAXCONN", kDefaultTcpMaxConn, 1, kMaxTcpMaxConn, "1..65535");
  cfg.tcpIdleSec =
      reader.Number("TCPIDLE", kDefaultTcpIdleSec, 0, kMaxTimeoutSec, "0..86400 s, 0 = never");
}

void ApplyLinuxKeys(ConfigReader& reader, LoaderConfig& cfg) {
  ApplyTcpKeys(reader, cfg);
  cfg.reconnect = reader.Choice("RECONNECT", "1", "0", true);
  cfg.sessionTimeoutSec = reader.Number("SESSIONTIMEOUT", kDefaultSessionTimeoutSec, 0,
                                        kMaxTimeoutSec, "0..86400 s, 0 = never");
  cfg.frameDispatch = reader.Choice("DISPATCH", "FRAME", "BURST", true);
  cfg.frameWaitMs =
      reader.Number("FRAMEWAIT", kDefaultFrameWaitMs, 0, kMaxFrameWaitMs, "0..60000 ms");
  cfg.concurrent = reader.Choice("CONCURRENT", "1", "0", false);
}

bool IsProfileBlank(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

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
  std::vector<std::string> warnings;
  ParseLoaderConfig(text, curDir, cfg, warnings);
}

void ParseLoaderConfig(std::string_view text, const std::string& curDir, LoaderConfig& cfg,
                       std::vector<std::string>& warnings) {
  // One pass over the text builds the index; every key below is a lookup in it.
  ConfigReader reader(text, warnings);
  cfg.romDir = DirectoryOrCurrent(reader, "ROMFILE", curDir);
  cfg.bllDir = DirectoryOrCurrent(reader, "BLLFILE", curDir);
  ApplyPort(reader, cfg);
  ApplyType(reader, cfg);
  ApplyBaud(reader, cfg);
  cfg.modemInit = reader.Get(kCommunication, "MODEM", "");
  cfg.romTypes = JoinRomTypes(reader);
  for (int port = 1; port <= kPortCount; ++port) {
    std::optional<std::string> device = reader.Find(kPorts, PortKey(port));
    cfg.portDevices[static_cast<std::size_t>(port - 1)] =
        (device && !device->empty()) ? *device : DefaultPortDevice(port);
  }
  for (int port = kPortCount + 1; port <= kLinePortCount; ++port) {
    cfg.morePortDevices[static_cast<std::size_t>(port - kPortCount - 1)] =
        reader.Get(kPorts, PortKey(port), "");
  }
  ApplyLinuxKeys(reader, cfg);
  ApplyLinePorts(reader, cfg);
  ReviewConfigNames(text, warnings);
  if (cfg.linePortsListed) ReviewSerialLines(text, SerialLines(cfg), warnings);
}

std::string LinePortDevice(const LoaderConfig& cfg, int port) {
  if (port < 1 || port > kLinePortCount) return {};
  if (port <= kPortCount) return cfg.portDevices[static_cast<std::size_t>(port - 1)];
  return cfg.morePortDevices[static_cast<std::size_t>(port - kPortCount - 1)];
}

std::vector<SerialLineConfig> SerialLines(const LoaderConfig& cfg) {
  std::vector<SerialLineConfig> lines;
  const auto add = [&](int port) {
    lines.push_back({port, PortKey(port), LinePortDevice(cfg, port)});
  };
  if (!cfg.noSerialPort) add(cfg.port);
  for (const int port : cfg.linePorts) {
    if (cfg.noSerialPort || port != cfg.port) add(port);
  }
  return lines;
}

bool LoadLoaderConfig(const std::string& path, const std::string& curDir, LoaderConfig& cfg) {
  std::vector<std::string> warnings;
  std::string error;
  return LoadLoaderConfig(path, curDir, cfg, warnings, error);
}

bool LoadLoaderConfig(const std::string& path, const std::string& curDir, LoaderConfig& cfg,
                      std::vector<std::string>& warnings, std::string& error) {
  const std::optional<std::string> text = ReadProfileFile(path, error);
  if (!text) return false;
  ParseLoaderConfig(*text, curDir, cfg, warnings);
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
  const bool validBaud = IsRateIndex(cfg.baudIndex);
  const std::string_view baud = validBaud ? RateAt(cfg.baudIndex).configText : std::string_view();
  bool ok = WriteProfileString(edited, kLocation, "ROMFILE", StorableValue(cfg.romDir)) &&
            WriteProfileString(edited, kLocation, "BLLFILE", StorableValue(cfg.bllDir)) &&
            WriteProfileString(
                edited, kCommunication, "PORT",
                cfg.noSerialPort ? std::string(kNoPortValue) : "COM" + std::to_string(cfg.port)) &&
            WriteProfileString(edited, kCommunication, "TYPE",
                               cfg.commType == kCommModem ? kModemTypeValue : kDefaultTypeValue) &&
            WriteProfileString(edited, kCommunication, "BAUD", baud) &&
            WriteProfileString(edited, kCommunication, "MODEM", StorableValue(cfg.modemInit));
  if (ok && cfg.linePortsListed) {
    std::string names;
    for (const int port : cfg.linePorts) {
      if (!names.empty()) names.push_back(kLinePortSeparator);
      names += PortKey(port);
    }
    ok = WriteProfileString(edited, kCommunication, kLinePortsKey, names);
  }
  const std::vector<std::string> pairs = SplitRomTypePairs(cfg.romTypes);
  for (std::size_t i = 0; ok && i < pairs.size(); ++i) {
    ok = WriteProfileString(edited, kRomtype, RomTypeKey(i + 1), StorableValue(pairs[i]));
  }
  if (!ok) return false;
  text = std::move(edited);
  return true;
}

namespace {

/// The profile text of path to be edited: its content, or nothing for a file
/// that is not there yet; false with the reason when it cannot be read.
bool ReadForEdit(const std::string& path, std::string& text, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::path(path), ec)) return true;
  std::optional<std::string> old = ReadProfileFile(path, error);
  if (!old) return false;  // never overwrite a file we could not read
  text = std::move(*old);
  return true;
}

/// Writes text to path, making its folder first when it is missing.
bool WriteEdited(const std::string& path, const std::string& text, std::string& error) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code ec;
  if (!folder.empty() && !std::filesystem::exists(folder, ec)) {
    std::filesystem::create_directories(folder, ec);
    if (ec) {
      error = ec.message();
      return false;
    }
  }
  errno = 0;
  if (ReplaceProfileFile(path, text)) return true;
  error = errno != 0 ? std::strerror(errno) : "the file could not be replaced";
  return false;
}

}  // namespace

bool SaveLoaderConfig(const std::string& path, const LoaderConfig& cfg) {
  std::string error;
  return SaveLoaderConfig(path, cfg, error);
}

bool SaveLoaderConfig(const std::string& path, const LoaderConfig& cfg, std::string& error) {
  std::string text;
  if (!ReadForEdit(path, text, error)) return false;
  if (!UpdateLoaderConfigText(text, cfg)) {
    error = "a value holds a line break and cannot be stored";
    return false;
  }
  return WriteEdited(path, text, error);
}

bool SavePortMapping(const std::string& path, int port, const std::string& device,
                     std::string& error) {
  std::string text;
  if (!ReadForEdit(path, text, error)) return false;
  if (port < 1 || port > kLinePortCount ||
      !WriteProfileString(text, kPorts, PortKey(port), device)) {
    error = "the device name cannot be stored";
    return false;
  }
  return WriteEdited(path, text, error);
}

std::string DefaultConfigPath(const std::string& curDir, const char* xdgConfigHome,
                              const char* home) {
  namespace fs = std::filesystem;
  const fs::path local = fs::path(curDir) / kConfigFileName;
  std::error_code ec;
  if (fs::exists(fs::symlink_status(local, ec))) return local.string();
  fs::path base;
  // A relative XDG_CONFIG_HOME is invalid and is ignored, as the XDG rules say.
  if (xdgConfigHome != nullptr && fs::path(xdgConfigHome).is_absolute()) {
    base = xdgConfigHome;
  } else if (home != nullptr && fs::path(home).is_absolute()) {
    base = fs::path(home) / ".config";
  } else {
    return local.string();
  }
  return (base / "tarvix" / kConfigFileName).lexically_normal().string();
}

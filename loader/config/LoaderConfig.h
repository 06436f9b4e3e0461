// The loader's settings as kept in Romvale.cfg: image folders, serial port,
// modem command, ROM type list, and the Linux additions [Ports] and TCPPACE.
#pragma once

#include "config/LoaderDefaults.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One serial line to serve: its COM number, its name ("COM3") and the device
/// [Ports] maps it to (empty when the file names none and the number has no default).
struct SerialLineConfig {
  int port = kDefaultPort;
  std::string name;
  std::string device;

  bool operator==(const SerialLineConfig&) const = default;
};

/// Settings read from and written to Romvale.cfg.
struct LoaderConfig {
  std::string romDir, bllDir;
  int port = kDefaultPort;            // 1..8
  int commType = kDefaultCommType;    // kCommModem or kCommRs232
  int baudIndex = kDefaultBaudIndex;  // index into kLineRates
  std::string modemInit;              // MODEM; empty when the key is absent
  std::string romTypes;  // joined ROMTYPE list, at most 1023 bytes (only whole values that fit)
  std::array<std::string, 8> portDevices;  // [Ports] COM1..COM8, default /dev/ttyS0../dev/ttyS7
  int tcpPace = kDefaultTcpPaceMs;         // [Communication] TCPPACE in ms, 0 = none

  // Linux additions in [Communication].
  bool noSerialPort = false;                           // PORT=NONE: TCP only
  std::uint16_t tcpPort = kDefaultTcpPort;             // TCPPORT
  bool noTcp = false;                                  // TCPPORT=NONE: no TCP listener
  std::string tcpAddress;                              // TCPADDRESS; empty = every interface
  std::uint16_t metricsPort = 0;                       // METRICSPORT; 0 (or NONE) = off
  std::string metricsAddress{kDefaultMetricsAddress};  // METRICSADDRESS
  bool reconnect = true;                               // RECONNECT=0 turns retrying off
  int sessionTimeoutSec = kDefaultSessionTimeoutSec;   // SESSIONTIMEOUT, 0 = never
  int tcpMaxConn = kDefaultTcpMaxConn;                 // TCPMAXCONN
  int tcpIdleSec = kDefaultTcpIdleSec;                 // TCPIDLE, 0 = never
  bool frameDispatch = true;                           // DISPATCH=FRAME (default) or BURST
  int frameWaitMs = kDefaultFrameWaitMs;               // FRAMEWAIT
  bool concurrent = false;                             // CONCURRENT=1: a BLL session per connection

  // [Communication] PORTS: more serial lines served at once.
  bool linePortsListed = false;  // PORTS is in the file; the save writes it back only then
  std::vector<int> linePorts;    // its usable names as COM numbers, in order, each once
  /// [Ports] COM9..COM16 (no default: empty when the file names none).
  std::array<std::string, kLinePortCount - kPortCount> morePortDevices;
};

/// The device path [Ports] gives COMport (1..16), its default when the file names
/// none; empty for a number without either.
std::string LinePortDevice(const LoaderConfig& cfg, int port);

/// The serial lines to serve: PORT's line first (none for PORT=NONE), then every
/// PORTS name other than PORT, in order.
std::vector<SerialLineConfig> SerialLines(const LoaderConfig& cfg);

inline constexpr std::string_view kConfigFileName = "Romvale.cfg";

/// The ROM type list holds at most this many bytes (a 1024-byte buffer with its zero).
inline constexpr std::size_t kMaxRomTypesLength = 1023;
/// Largest TCPPACE accepted; a larger value counts as bad and gives the default.
inline constexpr int kMaxTcpPaceMs = 60000;

/// Loads path with every value rule; cfg's port/type/baud keep their earlier values where a
/// rule says "unchanged". curDir = default for empty/absent ROMFILE/BLLFILE.
/// Returns false, changing nothing, when the file cannot be opened for reading.
bool LoadLoaderConfig(const std::string& path, const std::string& curDir, LoaderConfig& cfg);
/// LoadLoaderConfig that also hands back one warning per value it could not use
/// ("[Section] KEY=value not understood (...); using ...", control bytes escaped)
/// and, when it returns false, why the file could not be read.
bool LoadLoaderConfig(const std::string& path, const std::string& curDir, LoaderConfig& cfg,
                      std::vector<std::string>& warnings, std::string& error);

/// Applies Romvale.cfg's value rules to the file's text (LoadLoaderConfig without the file).
void ParseLoaderConfig(std::string_view text, const std::string& curDir, LoaderConfig& cfg);
/// ParseLoaderConfig with the warnings (see LoadLoaderConfig). The text is split
/// into lines once, so the time taken grows with the file's size only.
void ParseLoaderConfig(std::string_view text, const std::string& curDir, LoaderConfig& cfg,
                       std::vector<std::string>& warnings);

/// Writes ROMFILE, BLLFILE, PORT (NONE when m_noSerialPort), TYPE, BAUD, MODEM, PORTS (only
/// when m_linePortsListed) and the ROMTYPE pairs in that order (pair-splitting rule); [Ports]
/// and TCPPACE are left as they are in the file.
/// false if a write failed. A missing file is created, with its missing folders.
bool SaveLoaderConfig(const std::string& path, const LoaderConfig& cfg);
/// SaveLoaderConfig that says why it failed.
bool SaveLoaderConfig(const std::string& path, const LoaderConfig& cfg, std::string& error);

/// Writes [Ports] COMn=device (n 1..16) into path (created, with its folders, when missing),
/// every other byte staying as it was; false with the reason when it cannot.
bool SavePortMapping(const std::string& path, int port, const std::string& device,
                     std::string& error);

/// The configuration file to use when the command line names none: Romvale.cfg
/// in curDir when it is there, else $XDG_CONFIG_HOME/tarvix/Romvale.cfg
/// (~/.config/tarvix/Romvale.cfg without it), whether or not that file exists,
/// so that 설정 저장 creates it. curDir's file when there is no home either.
std::string DefaultConfigPath(const std::string& curDir, const char* xdgConfigHome,
                              const char* home);

/// SaveLoaderConfig's edits applied to a profile text in memory; false (text
/// unchanged) when a value holds CR, LF or NUL and cannot be stored.
bool UpdateLoaderConfigText(std::string& text, const LoaderConfig& cfg);

/// The ROM type list split into the values the save writes: each runs up to the
/// second '|' after its start; a last remainder without '|' is dropped.
std::vector<std::string> SplitRomTypePairs(std::string_view romTypes);

// The serial line's choices and every default of the loader's settings, in one
// place: the rate table (bit/s, the text Romvale.cfg stores, the text of the
// dialog's button), the line types, the COM ports, and the TCP and session limits.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int kCommModem = 1;
inline constexpr int kCommRs232 = 2;

/// One entry of the rate table.
struct LineRate {
  std::uint32_t bitsPerSecond;
  std::string_view configText;  // BAUD value in Romvale.cfg
  std::string_view buttonText;  // the port dialog's rate button
};

// The leading blanks of the button texts line the numbers up; they are part of the text.
inline constexpr std::array<LineRate, 9> kLineRates = {{
    {1200, "1200bps", "  1200 bps"},
    {2400, "2400bps", "  2400 bps"},
    {4800, "4800bps", "  4800 bps"},
    {9600, "9600bps", "  9600 bps"},
    {19200, "19200bps", " 19200 bps"},
    {38400, "38400bps", " 38400 bps"},
    {56000, "56000bps", " 56000 bps"},
    {57600, "57600bps", " 57600 bps"},
    {115200, "115200bps", "115200 bps"},
}};
inline constexpr int kRateCount = static_cast<int>(kLineRates.size());

inline constexpr int kPortCount = 8;       // PORT: COM1..COM8
inline constexpr int kLinePortCount = 16;  // PORTS: COM1..COM16, one serial line each
inline constexpr int kDefaultPort = 1;
inline constexpr int kDefaultCommType = kCommRs232;
inline constexpr int kDefaultBaudIndex = 7;  // 57600 bit/s
inline constexpr std::string_view kDefaultModemInit = "AT&F&C1&D2E1&K3";

inline constexpr std::uint16_t kDefaultTcpPort = 7000;
inline constexpr int kDefaultTcpPaceMs = 500;
inline constexpr std::string_view kDefaultMetricsAddress = "127.0.0.1";  // METRICSADDRESS
inline constexpr int kDefaultSessionTimeoutSec = 60;  // 0 = a session never times out
inline constexpr int kDefaultTcpMaxConn = 256;
inline constexpr int kDefaultTcpIdleSec = 300;       // 0 = never closed for idleness
inline constexpr int kDefaultFrameWaitMs = 100;      // FRAMEWAIT: how long a partial frame waits
inline constexpr bool kDefaultFrameDispatch = true;  // DISPATCH=FRAME; BURST turns it off

// Bounds that keep one stuck peer from holding the server.
inline constexpr std::size_t kTcpWriteQueueBytes = 64 * 1024;     // queued for one connection
inline constexpr std::size_t kSerialWriteQueueBytes = 16 * 1024;  // queued for the serial line
inline constexpr int kSerialCloseFlushMs = 500;   // longest wait for queued serial bytes on close
inline constexpr int kAcceptBackoffFirstMs = 50;  // no descriptor left: first pause of accepting
inline constexpr int kAcceptBackoffMaxMs = 2000;  // ... doubled up to this
inline constexpr int kMaxTcpPort = 65535;
inline constexpr int kMaxTcpMaxConn = 65535;
inline constexpr int kMaxTimeoutSec = 86400;  // SESSIONTIMEOUT and TCPIDLE: one day at most
inline constexpr int kMaxFrameWaitMs = 60000;

// Serial port retries after a failure: 1 s, doubling, at most 8 s apart.
inline constexpr int kReconnectFirstMs = 1000;
inline constexpr int kReconnectMaxMs = 8000;

/// Whether index names an entry of the rate table.
constexpr bool IsRateIndex(int index) {
  return index >= 0 && index < kRateCount;
}

/// The entry of a valid rate index.
constexpr const LineRate& RateAt(int index) {
  return kLineRates[static_cast<std::size_t>(index)];
}

/// Device path a COM number maps to when Romvale.cfg names none: COM1 -> /dev/ttyS0.
/// COM9..COM16 have none (empty): they need a [Ports] line.
inline std::string DefaultPortDevice(int port) {
  if (port < 1 || port > kPortCount) return {};
  return "/dev/ttyS" + std::to_string(port - 1);
}

// libFuzzer target of Romvale.cfg's parser: any bytes as the file's text. Every
// value stays in its range, every warning is one printable line, the same text
// parses the same way twice, and a text saved back with the private-profile
// edits reads back to the settings it was saved from.
#include "config/LoaderConfig.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::string kCurDir = "/cur";

// A broken promise must stop the fuzzer with a stack trace, release build or not.
void Require(bool holds) {
  if (!holds) std::abort();
}

void RequireInRange(const LoaderConfig& cfg) {
  Require(cfg.port >= 1 && cfg.port <= kPortCount);
  Require(cfg.commType == kCommModem || cfg.commType == kCommRs232);
  Require(IsRateIndex(cfg.baudIndex));
  Require(cfg.tcpPort >= 1);
  Require(cfg.tcpPace >= 0 && cfg.tcpPace <= kMaxTcpPaceMs);
  Require(cfg.sessionTimeoutSec >= 0 && cfg.sessionTimeoutSec <= kMaxTimeoutSec);
  Require(cfg.tcpIdleSec >= 0 && cfg.tcpIdleSec <= kMaxTimeoutSec);
  Require(cfg.tcpMaxConn >= 1 && cfg.tcpMaxConn <= kMaxTcpMaxConn);
  Require(cfg.frameWaitMs >= 0 && cfg.frameWaitMs <= kMaxFrameWaitMs);
  Require(cfg.romTypes.size() <= kMaxRomTypesLength);
  Require(!cfg.romDir.empty() && !cfg.bllDir.empty());
  for (const std::string& device : cfg.portDevices) Require(!device.empty());
  Require(SerialLines(cfg).size() <= static_cast<std::size_t>(kLinePortCount));
}

void RequireCleanWarnings(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) {
    Require(warning.starts_with("[") || warning.starts_with("line "));
    for (const char c : warning) {
      const auto byte = static_cast<unsigned char>(c);
      Require(byte >= 0x20 && byte != 0x7F);
    }
  }
}

/// Everything but the ROM type list, which the save rewrites pair by pair and
/// so need not read back as it was joined.
bool SameSettings(const LoaderConfig& a, const LoaderConfig& b) {
  return a.romDir == b.romDir && a.bllDir == b.bllDir && a.noSerialPort == b.noSerialPort &&
         (a.noSerialPort || a.port == b.port) && a.commType == b.commType &&
         a.baudIndex == b.baudIndex && a.modemInit == b.modemInit &&
         a.portDevices == b.portDevices && a.tcpPace == b.tcpPace && a.tcpPort == b.tcpPort &&
         a.tcpAddress == b.tcpAddress && a.reconnect == b.reconnect &&
         a.sessionTimeoutSec == b.sessionTimeoutSec && a.tcpMaxConn == b.tcpMaxConn &&
         a.tcpIdleSec == b.tcpIdleSec && a.frameDispatch == b.frameDispatch &&
         a.frameWaitMs == b.frameWaitMs && a.concurrent == b.concurrent &&
         a.linePortsListed == b.linePortsListed && a.linePorts == b.linePorts &&
         a.morePortDevices == b.morePortDevices;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  LoaderConfig cfg;
  std::vector<std::string> warnings;
  ParseLoaderConfig(text, kCurDir, cfg, warnings);
  RequireInRange(cfg);
  RequireCleanWarnings(warnings);

  LoaderConfig again;
  std::vector<std::string> warningsAgain;
  ParseLoaderConfig(text, kCurDir, again, warningsAgain);
  Require(SameSettings(cfg, again) && cfg.romTypes == again.romTypes);
  Require(warnings == warningsAgain);

  std::string saved = text;
  if (UpdateLoaderConfigText(saved, cfg)) {
    LoaderConfig reread;
    ParseLoaderConfig(saved, kCurDir, reread);
    RequireInRange(reread);
    Require(SameSettings(cfg, reread));
  } else {
    Require(saved == text);  // a refused save leaves the text alone
  }
  return 0;
}

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
  Require(cfg.m_port >= 1 && cfg.m_port <= kPortCount);
  Require(cfg.m_commType == kCommModem || cfg.m_commType == kCommRs232);
  Require(IsRateIndex(cfg.m_baudIndex));
  Require(cfg.m_tcpPort >= 1);
  Require(cfg.m_tcpPace >= 0 && cfg.m_tcpPace <= kMaxTcpPaceMs);
  Require(cfg.m_sessionTimeoutSec >= 0 && cfg.m_sessionTimeoutSec <= kMaxTimeoutSec);
  Require(cfg.m_tcpIdleSec >= 0 && cfg.m_tcpIdleSec <= kMaxTimeoutSec);
  Require(cfg.m_tcpMaxConn >= 1 && cfg.m_tcpMaxConn <= kMaxTcpMaxConn);
  Require(cfg.m_frameWaitMs >= 0 && cfg.m_frameWaitMs <= kMaxFrameWaitMs);
  Require(cfg.m_romTypes.size() <= kMaxRomTypesLength);
  Require(!cfg.m_romDir.empty() && !cfg.m_bllDir.empty());
  for (const std::string& device : cfg.m_portDevices) Require(!device.empty());
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
  return a.m_romDir == b.m_romDir && a.m_bllDir == b.m_bllDir &&
         a.m_noSerialPort == b.m_noSerialPort && (a.m_noSerialPort || a.m_port == b.m_port) &&
         a.m_commType == b.m_commType && a.m_baudIndex == b.m_baudIndex &&
         a.m_modemInit == b.m_modemInit && a.m_portDevices == b.m_portDevices &&
         a.m_tcpPace == b.m_tcpPace && a.m_tcpPort == b.m_tcpPort &&
         a.m_tcpAddress == b.m_tcpAddress && a.m_reconnect == b.m_reconnect &&
         a.m_sessionTimeoutSec == b.m_sessionTimeoutSec && a.m_tcpMaxConn == b.m_tcpMaxConn &&
         a.m_tcpIdleSec == b.m_tcpIdleSec && a.m_frameDispatch == b.m_frameDispatch &&
         a.m_frameWaitMs == b.m_frameWaitMs && a.m_concurrent == b.m_concurrent &&
         a.m_linePortsListed == b.m_linePortsListed && a.m_linePorts == b.m_linePorts &&
         a.m_morePortDevices == b.m_morePortDevices;
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
  Require(SameSettings(cfg, again) && cfg.m_romTypes == again.m_romTypes);
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

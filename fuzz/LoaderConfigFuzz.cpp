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
  Require(cfg.m_nPort >= 1 && cfg.m_nPort <= kPortCount);
  Require(cfg.m_nCommType == COMM_MODEM || cfg.m_nCommType == COMM_RS232);
  Require(IsRateIndex(cfg.m_nBaudIndex));
  Require(cfg.m_nTcpPort >= 1);
  Require(cfg.m_nTcpPace >= 0 && cfg.m_nTcpPace <= kMaxTcpPaceMs);
  Require(cfg.m_nSessionTimeoutSec >= 0 && cfg.m_nSessionTimeoutSec <= kMaxTimeoutSec);
  Require(cfg.m_nTcpIdleSec >= 0 && cfg.m_nTcpIdleSec <= kMaxTimeoutSec);
  Require(cfg.m_nTcpMaxConn >= 1 && cfg.m_nTcpMaxConn <= kMaxTcpMaxConn);
  Require(cfg.m_nFrameWaitMs >= 0 && cfg.m_nFrameWaitMs <= kMaxFrameWaitMs);
  Require(cfg.m_szRomTypes.size() <= kMaxRomTypesLength);
  Require(!cfg.m_strRomDir.empty() && !cfg.m_strBllDir.empty());
  for (const std::string& device : cfg.m_PortDevices) Require(!device.empty());
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
  return a.m_strRomDir == b.m_strRomDir && a.m_strBllDir == b.m_strBllDir &&
         a.m_bNoSerialPort == b.m_bNoSerialPort && (a.m_bNoSerialPort || a.m_nPort == b.m_nPort) &&
         a.m_nCommType == b.m_nCommType && a.m_nBaudIndex == b.m_nBaudIndex &&
         a.m_strModemInit == b.m_strModemInit && a.m_PortDevices == b.m_PortDevices &&
         a.m_nTcpPace == b.m_nTcpPace && a.m_nTcpPort == b.m_nTcpPort &&
         a.m_strTcpAddress == b.m_strTcpAddress && a.m_bReconnect == b.m_bReconnect &&
         a.m_nSessionTimeoutSec == b.m_nSessionTimeoutSec && a.m_nTcpMaxConn == b.m_nTcpMaxConn &&
         a.m_nTcpIdleSec == b.m_nTcpIdleSec && a.m_bFrameDispatch == b.m_bFrameDispatch &&
         a.m_nFrameWaitMs == b.m_nFrameWaitMs && a.m_bConcurrent == b.m_bConcurrent;
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
  Require(SameSettings(cfg, again) && cfg.m_szRomTypes == again.m_szRomTypes);
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

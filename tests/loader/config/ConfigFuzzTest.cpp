// Fuzz target of Romvale.cfg's parser, run for a bounded number of inputs with a
// fixed seed: texts built from the keys and values the parser knows, mutated at
// random. Every field stays in its range, every warning is one clean line, the
// same text gives the same result, and the index agrees with single lookups.
#include "config/LoaderConfig.h"
#include "config/PrivateProfile.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr int kInputs = 4000;
constexpr std::uint32_t kSeed = 0x5EED7A;

constexpr std::array<std::string_view, 24> kKeys = {
    "ROMFILE",  "BLLFILE",  "PORT",       "TYPE",       "BAUD",           "MODEM",
    "TCPPACE",  "TCPPORT",  "TCPADDRESS", "RECONNECT",  "SESSIONTIMEOUT", "TCPMAXCONN",
    "TCPIDLE",  "DISPATCH", "FRAMEWAIT",  "CONCURRENT", "ROMTYPE1",       "ROMTYPE2",
    "ROMTYPE3", "COM1",     "COM2",       "COM8",       "port",           "tcpPort"};
constexpr std::array<std::string_view, 30> kValues = {
    "",          "0",          "1",       "-1",      "65535",      "65536",  "7000",      "86400",
    "86401",     "NONE",       "none",    "COM1",    "COM8",       "COM9",   "COM10",     "RS232",
    "MODEM",     "115200bps",  "1200bps", "300bps",  "FRAME",      "burst",  "127.0.0.1", "::1",
    "localhost", "\"quoted\"", "' x '",   "a|*.jd0", "9999999999", "\x1b[2J"};
constexpr std::array<std::string_view, 6> kSections = {"Location", "Communication", "Romtype",
                                                       "Ports",    "communication", "Other"};

class FuzzInput {
 public:
  explicit FuzzInput(std::uint32_t seed) : m_rng(seed) {}

  std::string Next() {
    std::string text;
    const std::size_t lines = Below(40);
    for (std::size_t i = 0; i < lines; ++i) {
      switch (Below(8)) {
        case 0:
          text += "[" + std::string(Pick(kSections)) + "]";
          break;
        case 1:
          text += ";" + std::string(Pick(kKeys));
          break;
        default:
          text += std::string(Pick(kKeys)) + "=" + std::string(Pick(kValues));
          break;
      }
      text += Below(3) == 0 ? "\n" : "\r\n";
    }
    // Mutations: flip, insert or delete bytes anywhere.
    for (std::size_t n = Below(4); n > 0 && !text.empty(); --n) {
      const std::size_t at = Below(text.size());
      switch (Below(3)) {
        case 0:
          text[at] = static_cast<char>(Below(256));
          break;
        case 1:
          text.insert(at, 1, static_cast<char>(Below(256)));
          break;
        default:
          text.erase(at, 1);
          break;
      }
    }
    return text;
  }

 private:
  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_rng);
  }
  template <std::size_t N>
  std::string_view Pick(const std::array<std::string_view, N>& from) {
    return from[Below(N)];
  }
  std::mt19937 m_rng;
};

void CheckOne(const std::string& text) {
  LoaderConfig cfg;
  std::vector<std::string> warnings;
  ParseLoaderConfig(text, "/cur", cfg, warnings);
  ASSERT_GE(cfg.port, 1);
  ASSERT_LE(cfg.port, kPortCount);
  ASSERT_TRUE(IsRateIndex(cfg.baudIndex));
  ASSERT_TRUE(cfg.commType == kCommModem || cfg.commType == kCommRs232);
  ASSERT_GE(cfg.tcpPort, 1);
  ASSERT_TRUE(cfg.tcpPace >= 0 && cfg.tcpPace <= kMaxTcpPaceMs);
  ASSERT_TRUE(cfg.sessionTimeoutSec >= 0 && cfg.sessionTimeoutSec <= kMaxTimeoutSec);
  ASSERT_TRUE(cfg.tcpIdleSec >= 0 && cfg.tcpIdleSec <= kMaxTimeoutSec);
  ASSERT_TRUE(cfg.tcpMaxConn >= 1 && cfg.tcpMaxConn <= kMaxTcpMaxConn);
  ASSERT_TRUE(cfg.frameWaitMs >= 0 && cfg.frameWaitMs <= kMaxFrameWaitMs);
  ASSERT_LE(cfg.romTypes.size(), kMaxRomTypesLength);
  for (const std::string& warning : warnings) {
    ASSERT_TRUE(warning.starts_with("[") || warning.starts_with("line ")) << warning;
    for (const char c : warning) {
      const auto byte = static_cast<unsigned char>(c);
      ASSERT_FALSE(byte < 0x20 || byte == 0x7F) << warning;  // one printable line
    }
  }
  // Deterministic, and whatever is saved reads back to the same port choice.
  LoaderConfig again;
  std::vector<std::string> warningsAgain;
  ParseLoaderConfig(text, "/cur", again, warningsAgain);
  ASSERT_EQ(warnings, warningsAgain);
  std::string saved = text;
  if (UpdateLoaderConfigText(saved, cfg)) {
    LoaderConfig reread;
    ParseLoaderConfig(saved, "/cur", reread);
    ASSERT_EQ(reread.noSerialPort, cfg.noSerialPort);
    if (!cfg.noSerialPort) {
      ASSERT_EQ(reread.port, cfg.port);
    }
    ASSERT_EQ(reread.baudIndex, cfg.baudIndex);
    ASSERT_EQ(reread.commType, cfg.commType);
  }
  const ProfileIndex index(text);
  for (std::string_view key : {"PORT", "TCPPORT", "ROMFILE", "COM1"}) {
    for (std::string_view section : {"Communication", "Location", "Ports"}) {
      ASSERT_EQ(index.Find(section, key), FindProfileValue(text, section, key));
    }
  }
}

}  // namespace

TEST(ConfigFuzz, ParserKeepsItsPromisesOnMutatedFiles) {
  FuzzInput input(kSeed);
  for (int i = 0; i < kInputs; ++i) {
    const std::string text = input.Next();
    SCOPED_TRACE(::testing::PrintToString(text));
    CheckOne(text);
    if (HasFatalFailure()) return;
  }
}

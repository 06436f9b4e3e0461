// Arbitrary text through the profile reader/editor and Romvale.cfg's loader and
// save: no crash, no read outside a buffer (run under ASan), values read back.
#include "config/LoaderConfig.h"
#include "config/PrivateProfile.h"

#include "loader/config/ConfigTestFiles.h"

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace {

constexpr int kRounds = 1500;

/// Random text made mostly of the pieces the parser reacts to.
class TextSource {
 public:
  explicit TextSource(std::uint32_t seed) : m_rng(seed) {}

  std::string Text(std::size_t maxPieces) {
    static constexpr std::array<std::string_view, 32> kPieces = {
        "[",       "]",     "=",       ";",        "\r",
        "\n",      "\r\n",  " ",       "\t",       "\v",
        "\"",      "'",     "|",       "Location", "Communication",
        "Romtype", "Ports", "ROMFILE", "BLLFILE",  "PORT",
        "TYPE",    "BAUD",  "MODEM",   "ROMTYPE1", "ROMTYPE2",
        "COM1",    "COM9",  "TCPPACE", "57600bps", "S",
        "k",       "x"};
    std::string text;
    const std::size_t pieces = Below(maxPieces + 1);
    for (std::size_t i = 0; i < pieces; ++i) {
      if (Below(5) == 0) {
        text.push_back(static_cast<char>(Below(256)));  // any byte, NUL included
      } else {
        text.append(kPieces[Below(kPieces.size())]);
      }
    }
    return text;
  }

  /// A value that may be stored: any bytes but CR, LF and NUL.
  std::string Value(std::size_t maxLength) {
    std::string value = Text(maxLength);
    for (char& c : value) {
      if (c == '\r' || c == '\n' || c == '\0') c = '_';
    }
    return value;
  }

  std::size_t Below(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_rng);
  }

 private:
  std::mt19937 m_rng;
};

void ExpectSaneConfig(const LoaderConfig& cfg) {
  EXPECT_LE(cfg.romTypes.size(), kMaxRomTypesLength);
  EXPECT_GE(cfg.port, 1);
  EXPECT_LE(cfg.port, 8);
  EXPECT_TRUE(cfg.commType == kCommModem || cfg.commType == kCommRs232);
  EXPECT_GE(cfg.baudIndex, 0);
  EXPECT_LE(cfg.baudIndex, 8);
  EXPECT_GE(cfg.tcpPace, 0);
  EXPECT_LE(cfg.tcpPace, kMaxTcpPaceMs);
  for (const std::string& device : cfg.portDevices) EXPECT_FALSE(device.empty());
}

}  // namespace

TEST(ConfigRandomInput, LoaderAcceptsAnyText) {
  TextSource source(20261208);
  for (int round = 0; round < kRounds; ++round) {
    const std::string text = source.Text(120);
    SCOPED_TRACE(round);
    LoaderConfig cfg;
    ParseLoaderConfig(text, "/cur", cfg);
    ExpectSaneConfig(cfg);
    (void)GetProfileString(text, source.Text(2), source.Text(2), source.Text(3));
  }
}

TEST(ConfigRandomInput, WrittenValueIsReadBackAndOtherSectionsStay) {
  TextSource source(7350);
  for (int round = 0; round < kRounds; ++round) {
    std::string text = source.Text(80);
    SCOPED_TRACE(round);
    const std::optional<std::string> other = FindProfileValue(text, "T", "x");
    const std::string value = "v" + std::to_string(round);
    ASSERT_TRUE(WriteProfileString(text, "S", "k", value));
    EXPECT_EQ(FindProfileValue(text, "s", "K"), value);
    EXPECT_EQ(FindProfileValue(text, "T", "x"), other);
    EXPECT_TRUE(WriteProfileString(text, "S", "k", std::nullopt));
    EXPECT_TRUE(WriteProfileString(text, "S", std::nullopt, std::nullopt));
    EXPECT_EQ(FindProfileValue(text, "T", "x"), other);
  }
}

TEST(ConfigRandomInput, SavedSettingsLoadBackOverAnyFile) {
  TextSource source(42);
  for (int round = 0; round < kRounds; ++round) {
    std::string text = source.Text(60);
    SCOPED_TRACE(round);
    LoaderConfig cfg;
    cfg.romDir = source.Value(6);
    cfg.bllDir = source.Value(6);
    cfg.modemInit = source.Value(6);
    cfg.port = static_cast<int>(source.Below(8)) + 1;
    cfg.commType = source.Below(2) == 0 ? kCommModem : kCommRs232;
    cfg.baudIndex = static_cast<int>(source.Below(9));
    ASSERT_TRUE(UpdateLoaderConfigText(text, cfg));
    LoaderConfig loaded;
    ParseLoaderConfig(text, "/cur", loaded);
    EXPECT_EQ(loaded.romDir, cfg.romDir.empty() ? "/cur" : cfg.romDir);
    EXPECT_EQ(loaded.bllDir, cfg.bllDir.empty() ? "/cur" : cfg.bllDir);
    EXPECT_EQ(loaded.modemInit, cfg.modemInit);
    EXPECT_EQ(loaded.port, cfg.port);
    EXPECT_EQ(loaded.commType, cfg.commType);
    EXPECT_EQ(loaded.baudIndex, cfg.baudIndex);
  }
}

TEST(ConfigRandomInput, FilesOfAnyBytesLoadAndSave) {
  TextSource source(99);
  configtest::TempDir dir;
  const std::string path = dir.File("Romvale.cfg");
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    configtest::WriteFile(path, source.Text(200));
    LoaderConfig cfg;
    ASSERT_TRUE(LoadLoaderConfig(path, "/cur", cfg));
    ExpectSaneConfig(cfg);
    EXPECT_TRUE(SaveLoaderConfig(path, cfg));
    LoaderConfig again;
    ASSERT_TRUE(LoadLoaderConfig(path, "/cur", again));
    EXPECT_EQ(again.romDir, cfg.romDir);
    EXPECT_EQ(again.port, cfg.port);
    EXPECT_EQ(again.baudIndex, cfg.baudIndex);
  }
}

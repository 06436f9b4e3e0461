// Romvale.cfg: value rules on load, the save with its ROM-type pairs, round trips.
#include "config/LoaderConfig.h"

#include "loader/config/ConfigTestFiles.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace {

using configtest::ReadFile;
using configtest::TempDir;
using configtest::WriteFile;

constexpr std::string_view kCurDir = "/home/op/loader";

LoaderConfig Parse(std::string_view text, LoaderConfig cfg = {}) {
  ParseLoaderConfig(text, std::string(kCurDir), cfg);
  return cfg;
}

std::string Communication(std::string_view lines) {
  return "[Communication]\r\n" + std::string(lines);
}

std::string Saved(const LoaderConfig& cfg, std::string text = {}) {
  EXPECT_TRUE(UpdateLoaderConfigText(text, cfg));
  return text;
}

}  // namespace

TEST(LoaderConfigLoad, MissingFileChangesNothing) {
  TempDir dir;
  LoaderConfig cfg;
  cfg.port = 5;
  cfg.romDir = "keep";
  EXPECT_FALSE(LoadLoaderConfig(dir.File("Romvale.cfg"), "/cur", cfg));
  EXPECT_FALSE(LoadLoaderConfig(dir.File(""), "/cur", cfg));  // a folder
  EXPECT_EQ(cfg.port, 5);
  EXPECT_EQ(cfg.romDir, "keep");
  EXPECT_EQ(cfg.portDevices[0], "");
}

TEST(LoaderConfigLoad, EmptyFileGivesEveryDefault) {
  TempDir dir;
  const std::string path = dir.File("Romvale.cfg");
  WriteFile(path, "");
  LoaderConfig cfg;
  cfg.port = 4;  // an absent PORT reads as "COM1", not as "unchanged"
  cfg.commType = kCommModem;
  cfg.baudIndex = 2;
  cfg.modemInit = "old";
  ASSERT_TRUE(LoadLoaderConfig(path, "/cur dir ", cfg));
  EXPECT_EQ(cfg.romDir, "/cur dir ");
  EXPECT_EQ(cfg.bllDir, "/cur dir ");
  EXPECT_EQ(cfg.port, 1);
  EXPECT_EQ(cfg.commType, kCommRs232);
  EXPECT_EQ(cfg.baudIndex, 7);
  EXPECT_EQ(cfg.modemInit, "");
  EXPECT_EQ(cfg.romTypes, "");
  EXPECT_EQ(cfg.tcpPace, 500);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cfg.portDevices[static_cast<std::size_t>(i)], "/dev/ttyS" + std::to_string(i));
  }
}

TEST(LoaderConfigLoad, DirectoriesFallBackToCurrentWhenEmpty) {
  const LoaderConfig cfg = Parse("[location]\r\nROMFILE=\r\nbllfile = /data/bll \r\n");
  EXPECT_EQ(cfg.romDir, kCurDir);
  EXPECT_EQ(cfg.bllDir, "/data/bll");
}

TEST(LoaderConfigLoad, PortRule) {
  struct Row {
    std::string_view value;
    int before, after;
  };
  const Row rows[] = {{"COM7", 1, 7},  {"COM1", 6, 1}, {"COM8", 1, 8}, {"COM10", 3, 1},
                      {"COM3x", 1, 3}, {"COM9", 4, 4}, {"com3", 2, 2}, {"COM", 5, 5},
                      {"", 6, 6},      {"COM0", 2, 2}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    LoaderConfig before;
    before.port = row.before;
    EXPECT_EQ(Parse(Communication("PORT=" + std::string(row.value) + "\r\n"), before).port,
              row.after);
  }
}

TEST(LoaderConfigLoad, TypeRuleIsCaseSensitivePrefix) {
  LoaderConfig modem;
  modem.commType = kCommRs232;
  EXPECT_EQ(Parse(Communication("TYPE=MODEM9600\r\n")).commType, kCommModem);
  EXPECT_EQ(Parse(Communication("TYPE=MODEM\r\n")).commType, kCommModem);
  modem.commType = kCommModem;
  EXPECT_EQ(Parse(Communication("TYPE=modem\r\n"), modem).commType, kCommRs232);
  EXPECT_EQ(Parse(Communication("TYPE=MODE\r\n"), modem).commType, kCommRs232);
  EXPECT_EQ(Parse(Communication("TYPE=RS232\r\n"), modem).commType, kCommRs232);
}

TEST(LoaderConfigLoad, BaudRuleMatchesPrefixesInOrder) {
  const std::string_view table[] = {"1200bps",  "2400bps",  "4800bps",  "9600bps",  "19200bps",
                                    "38400bps", "56000bps", "57600bps", "115200bps"};
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    LoaderConfig before;
    before.baudIndex = (i + 4) % 9;
    const LoaderConfig cfg = Parse(Communication("BAUD=" + std::string(table[i]) + "\r\n"), before);
    EXPECT_EQ(cfg.baudIndex, i);
    // The saved value is the table's text, and it loads back to the same index.
    const std::string saved = Saved(cfg);
    EXPECT_NE(saved.find("\r\nBAUD=" + std::string(table[i]) + "\r\n"), std::string::npos);
    EXPECT_EQ(Parse(saved, before).baudIndex, i);
  }
  LoaderConfig before;
  before.baudIndex = 4;
  EXPECT_EQ(Parse(Communication("BAUD=9600bps and more\r\n"), before).baudIndex, 3);
  EXPECT_EQ(Parse(Communication("BAUD=9600\r\n"), before).baudIndex, 4);
  EXPECT_EQ(Parse(Communication("BAUD=9600BPS\r\n"), before).baudIndex, 4);
  EXPECT_EQ(Parse(Communication("BAUD=\r\n"), before).baudIndex, 4);
}

TEST(LoaderConfigLoad, ModemCommandIsReadWhole) {
  const std::string longCommand = "AT" + std::string(400, 'Z');
  EXPECT_EQ(Parse(Communication("MODEM=" + longCommand + "\r\n")).modemInit, longCommand);
  EXPECT_EQ(Parse(Communication("MODEM = ATZ \r\n")).modemInit, "ATZ");
  LoaderConfig before;
  before.modemInit = "AT&F&C1&D2E1&K3";
  EXPECT_EQ(Parse(Communication("PORT=COM2\r\n"), before).modemInit, "");
}

TEST(LoaderConfigLoad, RomTypesJoinUntilFirstGapOrEmptyValue) {
  EXPECT_EQ(Parse("[Romtype]\r\nROMTYPE1=ROM (*.rom)|*.rom\r\nROMTYPE2=All (*.*)|*.*\r\n").romTypes,
            "ROM (*.rom)|*.rom|All (*.*)|*.*");
  EXPECT_EQ(Parse("[Romtype]\r\nROMTYPE1=ROM files\r\nROMTYPE2=*.rom\r\n").romTypes,
            "ROM files|*.rom");
  EXPECT_EQ(Parse("[Romtype]\r\nROMTYPE1=a|b\r\nROMTYPE3=c|d\r\n").romTypes, "a|b");
  EXPECT_EQ(Parse("[Romtype]\r\nROMTYPE1=a|b\r\nROMTYPE2=\r\nROMTYPE3=c|d\r\n").romTypes, "a|b");
  EXPECT_EQ(Parse("[Romtype]\r\nROMTYPE2=a|b\r\n").romTypes, "");
}

TEST(LoaderConfigLoad, RomTypesKeepOnlyWholeValuesWithin1023Bytes) {
  const std::string v500a(500, 'a'), v500b(500, 'b'), v22(22, 'c'), v23(23, 'd');
  // 500 + 1 + 500 + 1 + 21 = 1023 fits exactly.
  std::string text = "[Romtype]\r\nROMTYPE1=" + v500a + "\r\nROMTYPE2=" + v500b +
                     "\r\nROMTYPE3=" + v22.substr(1) + "\r\n";
  EXPECT_EQ(Parse(text).romTypes, v500a + "|" + v500b + "|" + v22.substr(1));
  // One byte more does not fit: the value is left out whole, and so is every later one.
  text = "[Romtype]\r\nROMTYPE1=" + v500a + "\r\nROMTYPE2=" + v500b + "\r\nROMTYPE3=" + v22 +
         "\r\nROMTYPE4=x\r\n";
  EXPECT_EQ(Parse(text).romTypes, v500a + "|" + v500b);
  EXPECT_EQ(Parse("[Romtype]\r\nROMTYPE1=" + std::string(1024, 'z') + "\r\n").romTypes, "");
}

TEST(LoaderConfigLoad, PortDevicesAndTcpPace) {
  const LoaderConfig cfg = Parse(
      "[Ports]\r\nCOM1=/dev/ttyUSB0\r\ncom3 = /dev/pts/7 \r\nCOM4=\r\nCOM9=/dev/x\r\n"
      "[Communication]\r\nTCPPACE=0\r\n");
  EXPECT_EQ(cfg.portDevices[0], "/dev/ttyUSB0");
  EXPECT_EQ(cfg.portDevices[1], "/dev/ttyS1");
  EXPECT_EQ(cfg.portDevices[2], "/dev/pts/7");
  EXPECT_EQ(cfg.portDevices[3], "/dev/ttyS3");  // empty path: default
  EXPECT_EQ(cfg.portDevices[7], "/dev/ttyS7");
  EXPECT_EQ(cfg.tcpPace, 0);

  struct Row {
    std::string_view value;
    int pace;
  };
  const Row rows[] = {{"250", 250}, {" 60000 ", 60000}, {"60001", 500}, {"-5", 500},
                      {"abc", 500}, {"12ms", 500},      {"", 500},      {"99999999999", 500},
                      {"+7", 500},  {"0x10", 500}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(Parse(Communication("TCPPACE=" + std::string(row.value) + "\r\n")).tcpPace, row.pace);
  }
}

TEST(LoaderConfigSave, WritesKeysInOrderIntoNewFile) {
  TempDir dir;
  const std::string path = dir.File("Romvale.cfg");
  LoaderConfig cfg;
  cfg.romDir = "/roms";
  cfg.bllDir = "/blls";
  cfg.port = 3;
  cfg.commType = kCommModem;
  cfg.baudIndex = 1;
  cfg.modemInit = "ATZ";
  cfg.romTypes = "ROM (*.rom)|*.rom|All (*.*)|*.*";
  ASSERT_TRUE(SaveLoaderConfig(path, cfg));
  const std::string expected =
      "[Location]\r\nROMFILE=/roms\r\nBLLFILE=/blls\r\n"
      "[Communication]\r\nPORT=COM3\r\nTYPE=MODEM\r\nBAUD=2400bps\r\nMODEM=ATZ\r\n"
      "[Romtype]\r\nROMTYPE1=ROM (*.rom)|*.rom\r\nROMTYPE2=All (*.*)|*.*\r\n";
  EXPECT_EQ(ReadFile(path), expected);
  LoaderConfig loaded;
  ASSERT_TRUE(LoadLoaderConfig(path, "/cur", loaded));
  EXPECT_EQ(loaded.romDir, "/roms");
  EXPECT_EQ(loaded.bllDir, "/blls");
  EXPECT_EQ(loaded.port, 3);
  EXPECT_EQ(loaded.commType, kCommModem);
  EXPECT_EQ(loaded.baudIndex, 1);
  EXPECT_EQ(loaded.modemInit, "ATZ");
  EXPECT_EQ(loaded.romTypes, cfg.romTypes);
  // Saving what was loaded changes no byte.
  ASSERT_TRUE(SaveLoaderConfig(path, loaded));
  EXPECT_EQ(ReadFile(path), expected);
}

TEST(LoaderConfigSave, EditsInPlaceAndKeepsEverythingElse) {
  const std::string before =
      "; Romvale settings\n"
      "[Location]\n"
      "ROMFILE = /old/roms   ; old\n"
      "[Communication]\n"
      "port=COM1\n"
      "TCPPACE=0\n"
      "\n"
      "[Ports]\n"
      "COM2=/dev/ttyUSB0\n"
      "[Romtype]\n"
      "ROMTYPE1=old1\n"
      "ROMTYPE2=old2\n"
      "ROMTYPE3=old3\n"
      "[Extra]\n"
      "x=1";
  LoaderConfig cfg;
  cfg.romDir = "/new/roms";
  cfg.bllDir = "/b";
  cfg.port = 2;
  cfg.commType = kCommRs232;
  cfg.baudIndex = 9;  // outside the table: an empty value
  cfg.romTypes = "A|a";
  // Added lines end as the file's own lines do (LF here).
  EXPECT_EQ(Saved(cfg, before),
            "; Romvale settings\n"
            "[Location]\n"
            "ROMFILE = /new/roms\n"
            "BLLFILE=/b\n"
            "[Communication]\n"
            "port=COM2\n"
            "TCPPACE=0\n"
            "TYPE=RS232\n"
            "BAUD=\n"
            "MODEM=\n"
            "\n"
            "[Ports]\n"
            "COM2=/dev/ttyUSB0\n"
            "[Romtype]\n"
            "ROMTYPE1=A|a\n"
            "ROMTYPE2=old2\n"
            "ROMTYPE3=old3\n"
            "[Extra]\n"
            "x=1\n");
}

TEST(LoaderConfigSave, RomTypePairSplitting) {
  EXPECT_EQ(SplitRomTypePairs("ROM (*.rom)|*.rom|All (*.*)|*.*"),
            (std::vector<std::string>{"ROM (*.rom)|*.rom", "All (*.*)|*.*"}));
  EXPECT_EQ(SplitRomTypePairs("a|b|c"), (std::vector<std::string>{"a|b"}));
  EXPECT_EQ(SplitRomTypePairs("a|b|c|"), (std::vector<std::string>{"a|b", "c|"}));
  EXPECT_EQ(SplitRomTypePairs("a||b"), (std::vector<std::string>{"a|"}));
  EXPECT_EQ(SplitRomTypePairs("nobar"), std::vector<std::string>{});
  EXPECT_EQ(SplitRomTypePairs(""), std::vector<std::string>{});

  // ROMTYPE1 = ROM files, ROMTYPE2 = *.rom: saved as one pair, ROMTYPE2 stays.
  const std::string file = "[Romtype]\r\nROMTYPE1=ROM files\r\nROMTYPE2=*.rom\r\n";
  const LoaderConfig first = Parse(file);
  const std::string saved = Saved(first, file);
  EXPECT_NE(saved.find("[Romtype]\r\nROMTYPE1=ROM files|*.rom\r\nROMTYPE2=*.rom\r\n"),
            std::string::npos);
  EXPECT_EQ(Parse(saved).romTypes, "ROM files|*.rom|*.rom");
}

TEST(LoaderConfigSave, ValuesReadBackUnchangedOrAreRefused) {
  LoaderConfig cfg;
  cfg.romDir = " /spaced dir ";
  cfg.bllDir = "\"quoted\"";
  cfg.modemInit = "AT ";
  const std::string saved = Saved(cfg);
  EXPECT_NE(saved.find("ROMFILE=\" /spaced dir \"\r\n"), std::string::npos);
  const LoaderConfig loaded = Parse(saved);
  EXPECT_EQ(loaded.romDir, " /spaced dir ");
  EXPECT_EQ(loaded.bllDir, "\"quoted\"");
  EXPECT_EQ(loaded.modemInit, "AT ");

  TempDir dir;
  const std::string path = dir.File("Romvale.cfg");
  WriteFile(path, "[Location]\r\nROMFILE=/keep\r\n");
  cfg.romDir = "/bad\nname";
  EXPECT_FALSE(SaveLoaderConfig(path, cfg));
  EXPECT_EQ(ReadFile(path), "[Location]\r\nROMFILE=/keep\r\n");
  cfg.romDir = "/ok";
  // A missing folder is made (as ~/.config/tarvix is on the first save); one that
  // cannot be made is a failure with its reason.
  EXPECT_TRUE(SaveLoaderConfig(dir.File("missing/deeper/Romvale.cfg"), cfg));
  EXPECT_NE(ReadFile(dir.File("missing/deeper/Romvale.cfg")).find("ROMFILE=/ok\r\n"),
            std::string::npos);
  std::string error;
  EXPECT_FALSE(SaveLoaderConfig(path + "/Romvale.cfg", cfg, error));
  EXPECT_FALSE(error.empty());
}

TEST(LoaderConfigRoundTrip, EveryPortTypeAndBaudSurvives) {
  for (int port = 1; port <= 8; ++port) {
    for (int type : {kCommModem, kCommRs232}) {
      SCOPED_TRACE(port * 10 + type);
      LoaderConfig cfg;
      cfg.port = port;
      cfg.commType = type;
      cfg.baudIndex = (port + type) % 9;
      LoaderConfig other;
      other.port = 9 - port;
      other.baudIndex = 8 - cfg.baudIndex;
      const std::string saved = Saved(cfg);
      EXPECT_NE(saved.find("\r\nPORT=COM" + std::to_string(port) + "\r\n"), std::string::npos);
      EXPECT_NE(saved.find(type == kCommModem ? "\r\nTYPE=MODEM\r\n" : "\r\nTYPE=RS232\r\n"),
                std::string::npos);
      const LoaderConfig loaded = Parse(saved, other);
      EXPECT_EQ(loaded.port, port);
      EXPECT_EQ(loaded.commType, type);
      EXPECT_EQ(loaded.baudIndex, cfg.baudIndex);
    }
  }
}

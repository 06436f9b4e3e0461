// [Communication] PORTS: the serial lines it gives, the warnings for names it
// cannot use and for devices, and the save writing it back.
#include "config/LoaderConfig.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Line = std::pair<std::string, std::string>;  // name, device

struct Parsed {
  std::vector<Line> lines;
  std::vector<std::string> warnings;
};

Parsed Parse(const std::string& text) {
  LoaderConfig cfg;
  Parsed p;
  ParseLoaderConfig(text, "/cur", cfg, p.warnings);
  for (const SerialLineConfig& line : SerialLines(cfg)) {
    EXPECT_EQ(line.name, "COM" + std::to_string(line.port));
    p.lines.emplace_back(line.name, line.device);
  }
  return p;
}

}  // namespace

TEST(SerialLines, PortsListAndItsWarnings) {
  const std::string w = "[Communication] PORTS: ";
  const struct {
    std::string text;
    std::vector<Line> lines;
    std::vector<std::string> warnings;
  } cases[] = {
      {"[Ports]\nCOM9=/dev/x\n",
       {{"COM1", "/dev/ttyS0"}},
       {"line 2: unknown key [Ports] COM9 (did you mean COM1?)"}},
      {"[Communication]\nPORTS=\n", {{"COM1", "/dev/ttyS0"}}, {}},
      {"[Communication]\nPORT=COM2\nPORTS=com1, COM2 ,COM16\n[Ports]\nCOM16=/dev/pts/9\n",
       {{"COM2", "/dev/ttyS1"}, {"COM1", "/dev/ttyS0"}, {"COM16", "/dev/pts/9"}},
       {}},
      {"[Communication]\nPORT=NONE\nPORTS=COM3\n", {{"COM3", "/dev/ttyS2"}}, {}},
      {"[Communication]\nPORTS=COM0,COM17,COM01,,LPT1,COM3,com3,COM\x1b\n",
       {{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyS2"}},
       {w + "COM0 is not a line name (COM1..COM16); left out",
        w + "COM17 is not a line name (COM1..COM16); left out",
        w + "COM01 is not a line name (COM1..COM16); left out",
        w + "an empty name is not a line name (COM1..COM16); left out",
        w + "LPT1 is not a line name (COM1..COM16); left out", w + "COM3 named twice; left out",
        w + "COM\\x1B is not a line name (COM1..COM16); left out"}},
      {"[Communication]\nPORTS=COM1,COM2,COM10\n[Ports]\nCOM2=/dev/ttyS0\n",
       {{"COM1", "/dev/ttyS0"}, {"COM2", "/dev/ttyS0"}, {"COM10", ""}},
       {w + "COM1 and COM2 both use /dev/ttyS0",
        w + "COM10 has no device; add [Ports] COM10=<device>"}},
      // Two [Ports] entries on one device are reported once, by the [Ports] check.
      {"[Communication]\nPORTS=COM9\n[Ports]\nCOM1=/dev/x\nCOM9=/dev//x\n",
       {{"COM1", "/dev/x"}, {"COM9", "/dev//x"}},
       {"[Ports] COM1 and COM9 both name /dev/x"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Parsed p = Parse(c.text);
    EXPECT_EQ(p.lines, c.lines);
    EXPECT_EQ(p.warnings, c.warnings);
  }

  std::string all = "[Communication]\nPORTS=";
  for (int port = 16; port >= 1; --port) all += "COM" + std::to_string(port) + ",";
  const Parsed many = Parse(all + "COM2,COM3\n");
  ASSERT_EQ(many.lines.size(), 16U);
  EXPECT_EQ(many.lines[0].first, "COM1");
  EXPECT_EQ(many.lines[1].first, "COM16");
  EXPECT_EQ(many.warnings.front(), w + "18 names, at most 16; the rest are left out");
}

TEST(SerialLines, SaveWritesPortsBackOnlyWhenTheFileHadIt) {
  LoaderConfig cfg;
  std::string text = "[Communication]\r\nPORTS= com2 ,COM2,COM99\r\n";
  ParseLoaderConfig(text, "/cur", cfg);
  ASSERT_TRUE(UpdateLoaderConfigText(text, cfg));
  std::vector<std::string> warnings;
  ParseLoaderConfig(text, "/cur", cfg, warnings);
  EXPECT_TRUE(warnings.empty()) << text;  // what was left out is gone from the file
  EXPECT_EQ(cfg.linePorts, std::vector<int>{2});

  text = "[Communication]\r\nPORT=COM2\r\n";
  ParseLoaderConfig(text, "/cur", cfg);
  ASSERT_TRUE(UpdateLoaderConfigText(text, cfg));
  EXPECT_EQ(text.find("PORTS"), std::string::npos) << text;
}

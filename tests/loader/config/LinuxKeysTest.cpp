// Romvale.cfg's Linux keys of [Communication]: values, the warning for each
// value not understood, PORT=NONE saved back, and large files read in one pass.
#include "config/ConsoleText.h"
#include "config/LoaderConfig.h"

#include "loader/config/ConfigTestFiles.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Parsed {
  LoaderConfig cfg;
  std::vector<std::string> warnings;
};

Parsed Parse(std::string_view communication, LoaderConfig cfg = {}) {
  Parsed p{std::move(cfg), {}};
  const std::string text = "[Communication]\r\n" + std::string(communication);
  ParseLoaderConfig(text, "/cur", p.cfg, p.warnings);
  return p;
}

}  // namespace

TEST(LinuxKeys, GoodValuesAreTakenWithoutWarnings) {
  const Parsed p = Parse(
      "PORT=none\r\nTYPE=RS232\r\nBAUD=115200bps\r\nTCPPORT=7100\r\nTCPADDRESS=::1\r\n"
      "RECONNECT=0\r\nSESSIONTIMEOUT=0\r\nTCPMAXCONN=3\r\nTCPIDLE=0\r\nDISPATCH=burst\r\n"
      "FRAMEWAIT=250\r\nCONCURRENT=1\r\nTCPPACE=0\r\n");
  EXPECT_TRUE(p.warnings.empty()) << p.warnings.front();
  EXPECT_TRUE(p.cfg.noSerialPort);
  EXPECT_EQ(p.cfg.port, 1);
  EXPECT_EQ(p.cfg.baudIndex, 8);
  EXPECT_EQ(p.cfg.tcpPort, 7100);
  EXPECT_EQ(p.cfg.tcpAddress, "::1");
  EXPECT_FALSE(p.cfg.reconnect);
  EXPECT_EQ(p.cfg.sessionTimeoutSec, 0);
  EXPECT_EQ(p.cfg.tcpMaxConn, 3);
  EXPECT_EQ(p.cfg.tcpIdleSec, 0);
  EXPECT_FALSE(p.cfg.frameDispatch);
  EXPECT_EQ(p.cfg.frameWaitMs, 250);
  EXPECT_TRUE(p.cfg.concurrent);
  EXPECT_EQ(p.cfg.tcpPace, 0);

  const Parsed defaults = Parse("");
  EXPECT_TRUE(defaults.warnings.empty());
  EXPECT_FALSE(defaults.cfg.noSerialPort);
  EXPECT_EQ(defaults.cfg.tcpPort, kDefaultTcpPort);
  EXPECT_EQ(defaults.cfg.tcpAddress, "");
  EXPECT_TRUE(defaults.cfg.reconnect);
  EXPECT_TRUE(defaults.cfg.frameDispatch);
  EXPECT_EQ(Parse("TCPADDRESS=127.0.0.1\r\n").cfg.tcpAddress, "127.0.0.1");
}

TEST(LinuxKeys, EachValueNotUnderstoodGivesOneWarningAndTheDefault) {
  struct Row {
    std::string_view line, warning;
  };
  const std::vector<Row> rows = {
      {"PORT=COM9", "[Communication] PORT=COM9 not understood (COM1..COM8 or NONE); using COM1"},
      {"PORT=COM10", "[Communication] PORT=COM10 not understood (COM1..COM8 or NONE); using COM1"},
      {"TYPE=RS485", "[Communication] TYPE=RS485 not understood (RS232 or MODEM); using RS232"},
      {"BAUD=300bps",
       "[Communication] BAUD=300bps not understood (1200bps..115200bps); using 57600bps"},
      {"TCPPORT=0", "[Communication] TCPPORT=0 not understood (1..65535 or NONE); using 7000"},
      {"TCPPORT=70000",
       "[Communication] TCPPORT=70000 not understood (1..65535 or NONE); using 7000"},
      {"TCPPORT=7o", "[Communication] TCPPORT=7o not understood (1..65535 or NONE); using 7000"},
      {"TCPADDRESS=localhost",
       "[Communication] TCPADDRESS=localhost not understood (a numeric IPv4 or IPv6 address such "
       "as "
       "127.0.0.1); using every interface"},
      {"RECONNECT=yes", "[Communication] RECONNECT=yes not understood (1 or 0); using 1"},
      {"SESSIONTIMEOUT=-1",
       "[Communication] SESSIONTIMEOUT=-1 not understood (0..86400 s, 0 = never); using 60"},
      {"TCPMAXCONN=0", "[Communication] TCPMAXCONN=0 not understood (1..65535); using 256"},
      {"TCPMAXCONN=65536", "[Communication] TCPMAXCONN=65536 not understood (1..65535); using 256"},
      {"TCPIDLE=1e3",
       "[Communication] TCPIDLE=1e3 not understood (0..86400 s, 0 = never); using 300"},
      {"DISPATCH=LINE",
       "[Communication] DISPATCH=LINE not understood (FRAME or BURST); using FRAME"},
      {"FRAMEWAIT=60001",
       "[Communication] FRAMEWAIT=60001 not understood (0..60000 ms); using 100"},
      {"CONCURRENT=2", "[Communication] CONCURRENT=2 not understood (1 or 0); using 0"},
      {"TCPPACE=fast", "[Communication] TCPPACE=fast not understood (0..60000 ms); using 500"},
      // A value's control bytes are shown escaped, never sent to the console.
      {"TCPPORT=\x1b"
       "c",
       "[Communication] TCPPORT=\\x1Bc not understood (1..65535 or NONE); using 7000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    const Parsed p = Parse(std::string(row.line) + "\r\n");
    ASSERT_EQ(p.warnings.size(), 1u);
    EXPECT_EQ(p.warnings[0], row.warning);
  }
  // The whole range is taken: a thousand terminals and more.
  const Parsed most = Parse("TCPMAXCONN=65535\r\n");
  EXPECT_TRUE(most.warnings.empty());
  EXPECT_EQ(most.cfg.tcpMaxConn, 65535);
  // An unrecognised PORT keeps the port held before the load, and says which.
  LoaderConfig held;
  held.port = 4;
  const Parsed kept = Parse("PORT=serial\r\n", held);
  EXPECT_EQ(kept.cfg.port, 4);
  ASSERT_EQ(kept.warnings.size(), 1u);
  EXPECT_EQ(kept.warnings[0],
            "[Communication] PORT=serial not understood (COM1..COM8 or NONE); using COM4");
}

TEST(LinuxKeys, PortNoneIsSavedBackAndAPortReplacesIt) {
  LoaderConfig cfg;
  cfg.noSerialPort = true;
  cfg.port = 3;
  std::string text = "[Communication]\r\nPORT=NONE\r\nTCPPORT=7100\r\n";
  ASSERT_TRUE(UpdateLoaderConfigText(text, cfg));
  EXPECT_NE(text.find("PORT=NONE\r\n"), std::string::npos);
  EXPECT_NE(text.find("TCPPORT=7100\r\n"), std::string::npos);  // Linux keys stay as written
  cfg.noSerialPort = false;
  ASSERT_TRUE(UpdateLoaderConfigText(text, cfg));
  EXPECT_NE(text.find("PORT=COM3\r\n"), std::string::npos);
  EXPECT_EQ(text.find("NONE"), std::string::npos);
}

TEST(LinuxKeys, LoadSaysWhyAFileIsNotRead) {
  configtest::TempDir dir;
  LoaderConfig cfg;
  std::vector<std::string> warnings;
  std::string error;
  EXPECT_FALSE(LoadLoaderConfig(dir.File("Romvale.cfg"), "/cur", cfg, warnings, error));
  EXPECT_EQ(error, "No such file or directory");
  configtest::WriteFile(dir.File("Romvale.cfg"), "[Communication]\nTCPIDLE=x\n");
  EXPECT_TRUE(LoadLoaderConfig(dir.File("Romvale.cfg"), "/cur", cfg, warnings, error));
  EXPECT_EQ(warnings.size(), 1u);
}

// Files near the size limit and long ROM type lists load in one pass; a
// lookup per key over the whole text made these take minutes.
TEST(LinuxKeys, LargeFilesAndManyRomTypesLoad) {
  std::string text = "[Location]\r\nROMFILE=/rom\r\n[Romtype]\r\n";
  for (int i = 1; i <= 300; ++i) {
    text += "ROMTYPE" + std::to_string(i) + "=T" + std::to_string(i) + "|*.j" + std::to_string(i) +
            "\r\n";
  }
  std::string filler;
  for (int i = 0; filler.size() < 7'900'000; ++i) filler += "K" + std::to_string(i) + "=value\r\n";
  text += "[Filler]\r\n" + filler + "[Communication]\r\nPORT=COM2\r\nTCPPORT=7200\r\n";
  LoaderConfig cfg;
  std::vector<std::string> warnings;
  ParseLoaderConfig(text, "/cur", cfg, warnings);
  EXPECT_EQ(cfg.port, 2);
  EXPECT_EQ(cfg.tcpPort, 7200);
  EXPECT_EQ(cfg.romDir, "/rom");
  EXPECT_TRUE(cfg.romTypes.starts_with("T1|*.j1|T2|*.j2|"));
  EXPECT_LE(cfg.romTypes.size(), kMaxRomTypesLength);
  ASSERT_EQ(warnings.size(), 2u);  // the ROM types that no longer fit, the section nobody reads
  EXPECT_TRUE(warnings[0].starts_with("[Romtype] ROMTYPE")) << warnings[0];
  EXPECT_TRUE(warnings[1].starts_with("line 304: unknown section [Filler]")) << warnings[1];
}

TEST(ConsoleText, ControlBytesAreEscaped) {
  EXPECT_EQ(EscapeConsoleText("MCA\x1b"
                              "c\a.bll"),
            "MCA\\x1Bc\\x07.bll");
  EXPECT_EQ(EscapeConsoleText("a\r\nb\tc\x7f"), "a\\r\\nb\\x09c\\x7F");
  EXPECT_EQ(EscapeConsoleText(std::string_view("\0\x1f", 2)), "\\x00\\x1F");
  EXPECT_EQ(EscapeConsoleText("시리얼 포트"), "시리얼 포트");
}

TEST(ConsoleText, C1BidiAndBrokenUtf8AreEscaped) {
  const struct {
    std::string_view in, out;
  } cases[] = {
      {"a\xC2\x9B"
       "31m",
       "a\\u009B31m"},  // C1 CSI as UTF-8
      {"a\x9B"
       "31m",
       "a\\x9B31m"},                                           // C1 CSI as a raw byte
      {"\xC2\x80\xC2\x9F\xC2\xA0", "\\u0080\\u009F\xC2\xA0"},  // U+00A0 is text
      {"evil\xE2\x80\xAEgpj.bll", "evil\\u202Egpj.bll"},       // RIGHT-TO-LEFT OVERRIDE
      {"\xE2\x80\xAA\xE2\x81\xA6\xE2\x81\xA9", "\\u202A\\u2066\\u2069"},
      {"\xE2\x80\xA9\xE2\x80\xAF", "\xE2\x80\xA9\xE2\x80\xAF"},  // neighbours stay
      {"\xC0\x80", "\\xC0\\x80"},                                // overlong NUL
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},                       // surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},              // beyond U+10FFFF
      {"\xE2\x80", "\\xE2\\x80"},                                // cut short at the end
      {"\xE2\x80"
       "A",
       "\\xE2\\x80A"},                                      // cut short before ASCII
      {"\xF0\x9F\x98\x80 \xFF", "\xF0\x9F\x98\x80 \\xFF"},  // emoji stays, 0xFF not
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.in));
    EXPECT_EQ(EscapeConsoleText(c.in), c.out);
  }
}

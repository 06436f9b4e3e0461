// The INF and information files for many random settings: values land verbatim on
// their template lines and never add or remove a line.
#include <cstddef>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "generator/BusInf.h"
#include "generator/SetupInfo.h"
#include "generator/VxdInf.h"
#include "generator/W2kInf.h"
#include "generator/WdmInf.h"
#include "settings/PackageSettings.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = text.find("\r\n"); end != std::string::npos;
       end = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  EXPECT_EQ(start, text.size()) << "text after the last CR LF";
  return lines;
}

// Values full of what INF files treat specially: quotes, percent signs, commas,
// spaces, semicolons, brackets, backslashes, and text that looks like a placeholder.
class RandomText {
 public:
  explicit RandomText(unsigned seed) : m_engine(seed) {}
  std::string Text(std::size_t minLength, std::size_t maxLength) {
    static const std::string kPieces[] = {"\"",     "%", ",", " ", ";", "[", "]",    "\\",
                                          "$(Vid)", "&", "=", "a", "Z", "0", "\xE9", "\t"};
    std::uniform_int_distribution<std::size_t> length(minLength, maxLength);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::string text;
    for (std::size_t n = length(m_engine); text.size() < n;) {
      text += kPieces[piece(m_engine)];
    }
    return text;
  }
  std::string Hex(std::size_t maxLength) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::uniform_int_distribution<std::size_t> length(1, maxLength);
    std::uniform_int_distribution<int> digit(0, 15);
    std::string text;
    for (std::size_t i = length(m_engine); i > 0; --i) {
      text += kDigits[digit(m_engine)];
    }
    return text;
  }
  bool Flag() { return std::bernoulli_distribution(0.5)(m_engine); }

 private:
  std::mt19937 m_engine;
};

}  // namespace

TEST(RandomSettings, ValuesLandVerbatimOnTheirLines) {
  RandomText random(7350);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    PackageSettings s;
    s.uninstallFileName = random.Text(1, 8);
    s.infPrefix = random.Text(1, 4);
    s.longName = random.Text(1, 60);
    s.comDeviceName = random.Text(1, 60);
    s.usbDeviceName = random.Text(1, 60);
    s.vid = random.Hex(4);
    s.pid = random.Hex(4);
    s.targetDirectory = random.Text(0, 40);
    s.showSetupGui = random.Flag();
    s.showUninstallGui = random.Flag();
    const std::string p = s.infPrefix;
    const std::string u = s.uninstallFileName;
    std::string upper = p;
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 32);
      }
    }
    const std::string key = upper + "COMM&" + s.vid + "&" + s.pid;

    const std::vector<std::string> bus = Lines(BuildBusInf(s));
    ASSERT_EQ(bus.size(), 209u);
    EXPECT_EQ(bus[2], "; " + p + "bus.inf   -- Install the " + s.usbDeviceName + " drivers");
    EXPECT_EQ(bus[21], ";CatalogFile=" + p + "bus.cat");
    EXPECT_EQ(bus[48], u + "2k.exe = 1");
    EXPECT_EQ(bus[63], "%VORN.CdcBus.Desc% = VORNWdm.Install, USB\\VID_" + s.vid + "&PID_" + s.pid);
    EXPECT_EQ(bus[162], "DELKEY=HKLM,%WINUN%\\" + key);
    EXPECT_EQ(bus[166], "HKLM,%WINUN%\\" + key + " , \"UninstallString\",,\"%11%\\" + u +
                            ".exe %11%\\" + u + ".u98\"");
    // DisplayName is read directly by setupapi: a literal % is written %%.
    std::string displayName;
    for (const char c : s.comDeviceName) {
      displayName += c == '%' ? std::string("%%") : std::string(1, c);
    }
    EXPECT_EQ(bus[167], "HKLM,%WINUN%\\" + key + " , \"DisplayName\",,\"" + displayName + "\"");
    EXPECT_EQ(bus[180], "HKLM,%WINUN%\\" + key + " , \"DisplayName\",,\"" + displayName + "\"");
    EXPECT_EQ(bus[188], "Provider = \"" + s.longName + "\"");
    EXPECT_EQ(bus[194], "VORN.Service.Desc = \"" + s.usbDeviceName + " driver (WDM)\"");
    EXPECT_EQ(bus[197], "DriverSet = \"" + s.comDeviceName + " Software\"");

    const std::vector<std::string> vxd = Lines(BuildVxdInf(s));
    ASSERT_EQ(vxd.size(), 291u);
    EXPECT_EQ(vxd[2], "; Name:  " + p + "vxd.inf ");
    EXPECT_EQ(vxd[5], ";\tInstall the " + s.comDeviceName + " (VCOMM)");
    EXPECT_EQ(vxd[24], ";CatalogFile=" + p + "ser.cat");
    EXPECT_EQ(vxd[277], "VORN = \"" + s.longName + "\"");
    EXPECT_EQ(vxd[279], "PortDesc = \"" + s.comDeviceName + "\"");

    const std::vector<std::string> w2k = Lines(BuildW2kInf(s));
    ASSERT_EQ(w2k.size(), 145u);
    EXPECT_EQ(w2k[2], "; Name:  " + p + "w2k.inf");
    EXPECT_EQ(w2k[57], "%VORN.Comm.Desc% = VORN.Install, USB\\VID_" + s.vid + "&PID_" + s.pid +
                           "&MI_00&OS_NT");
    EXPECT_EQ(w2k[127], "VORN.Service.Name = \"" + s.comDeviceName + " Drivers\"");
    EXPECT_EQ(w2k[132], "DriverSet = \"" + s.comDeviceName + " Driver Set\"");

    const std::vector<std::string> wdm = Lines(BuildWdmInf(s));
    ASSERT_EQ(wdm.size(), 151u);
    EXPECT_EQ(wdm[5], ";\tInstall the " + s.comDeviceName + " (WDM) on Win9x");
    EXPECT_EQ(wdm[69], "%VORN.Comm.Desc% = VORN.Install, USB\\VID_" + s.vid + "&PID_" + s.pid +
                           "&MI_00&OS_9X");
    EXPECT_EQ(wdm[120], p + "vxd.inf");
    EXPECT_EQ(wdm[134], "UpperDescription = \"" + s.comDeviceName + "\"");

    const std::string setupQuiet = s.showSetupGui ? "NoQuiet" : "Quiet";
    const std::string uninstallQuiet = s.showUninstallGui ? "NoQuiet" : "Quiet";
    EXPECT_EQ(Lines(BuildUninstallInfo98(s)),
              (std::vector<std::string>{s.comDeviceName, s.usbDeviceName, s.longName, p + "bus.inf",
                                        p + "wdm.inf", p + "vxd.inf", uninstallQuiet,
                                        "NoLeaveSource", key, s.targetDirectory}));
    EXPECT_EQ(Lines(BuildUninstallInfo2k(s)),
              (std::vector<std::string>{"*VID_" + s.vid + "&PID_" + s.pid + "*", setupQuiet,
                                        "NoLeaveSource", key, s.targetDirectory}));
    const std::vector<std::string> ini = Lines(BuildSetupIni(s));
    ASSERT_EQ(ini.size(), 24u);
    EXPECT_EQ(ini[0], s.comDeviceName + " Driver Set");
    EXPECT_EQ(ini[1], s.targetDirectory);
    EXPECT_EQ(ini[2], uninstallQuiet);
    EXPECT_EQ(ini[9], u + "2k.exe");
    EXPECT_EQ(ini[13], p + "ser.cat");
    EXPECT_EQ(ini[23], "");
  }
}

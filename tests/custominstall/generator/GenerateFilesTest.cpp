// The generation run against the expected package files, byte for byte.
#include "generator/GenerateFiles.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const fs::path kGoldenDir = VB7350_GOLDEN_DIR;

// Every text file of a golden folder must be in the package with the same bytes.
void ExpectTextFilesMatchGolden(const fs::path& package, const std::string& goldenName) {
  const std::vector<std::string> golden = FileNames(kGoldenDir / goldenName);
  ASSERT_EQ(golden.size(), 7u);
  for (const std::string& name : golden) {
    SCOPED_TRACE(name);
    const std::string expected = ReadFile(kGoldenDir / goldenName / name);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ShowLineEnds(ReadFile(package / name)), ShowLineEnds(expected));
  }
}

PackageSettings OddSettings() {
  PackageSettings s;
  s.uninstallFileName = "my un";
  s.infPrefix = "ab";
  s.longName = "Acme \"Best\" 100% Devices, Inc.";
  s.comDeviceName = "Port, \"COM\" 50% $(Vid)";
  s.usbDeviceName = "  Composite %1% \"X\" ";
  s.vid = "3E";
  s.pid = "1";
  s.targetDirectory = "D:\\Drivers, v2\\50% off";
  s.showSetupGui = false;
  return s;
}

}  // namespace

TEST(GenerateFiles, DefaultPackageMatchesTheTemplates) {
  TempDir temp;
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  EXPECT_TRUE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{RunSucceeded()});
  ExpectTextFilesMatchGolden(temp.Path(), "defaults");
}

TEST(GenerateFiles, OddValuesAreWrittenVerbatim) {
  TempDir temp;
  PackageSettings s = OddSettings();
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  EXPECT_TRUE(GenerateFiles(s, box));
  ExpectTextFilesMatchGolden(temp.Path(), "odd");
  EXPECT_TRUE(fs::exists(temp.Path() / "my un.exe"));
  EXPECT_TRUE(fs::exists(temp.Path() / "my un2k.exe"));
}

TEST(GenerateFiles, SpotChecksOfTheDefaultInfFiles) {
  TempDir temp;
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  ASSERT_TRUE(GenerateFiles(s, box));
  const std::string bus = ReadFile(temp.Path() / "vornbus.inf");
  const std::string vxd = ReadFile(temp.Path() / "vornvxd.inf");
  const std::string w2k = ReadFile(temp.Path() / "vornw2k.inf");
  const std::string wdm = ReadFile(temp.Path() / "vornwdm.inf");
  EXPECT_NE(bus.find("\r\n;CatalogFile=vornbus.cat\r\n"), std::string::npos);
  EXPECT_NE(bus.find("\r\nRemoveDevice \t= VORNWdm.RemDev\r\n"), std::string::npos);
  EXPECT_NE(bus.find("\r\nDELKEY=HKLM,%WINUN%\\VORNCOMM&3E7A&B2C9\r\n"), std::string::npos);
  EXPECT_NE(vxd.find("\r\n; Name:  vornvxd.inf \r\n"), std::string::npos);
  EXPECT_NE(vxd.find("\r\nHKR,Override,0009,1, \\\r\n"), std::string::npos);
  // The last override block has no IRQ lines and no closing ";".
  EXPECT_NE(vxd.find("00,01,FF,03, \\  ; IOR_Min / IOR_Max\r\n"
                     "00,00,00,00, \\  ; IOR_RangeFlags / IOR_Alias / IOR_Decode\r\n"
                     ";*** TERMINATOR ***\r\n00,00,00,00\r\n\r\n\r\n;---"),
            std::string::npos);
  EXPECT_NE(w2k.find("\r\nErrorControl\t= 1\t\t\t;%SERVICE_ERROR_NORMAL%\t\r\n"),
            std::string::npos);
  EXPECT_NE(w2k.find("USB\\VID_3E7A&PID_B2C9&MI_00&OS_NT\r\n"), std::string::npos);
  EXPECT_NE(wdm.find("USB\\VID_3E7A&PID_B2C9&MI_00&OS_9X\r\n"), std::string::npos);
  EXPECT_NE(wdm.find("\r\n[Copyfiles.W95.inf]\r\nvornvxd.inf\r\n"), std::string::npos);
  for (const std::string* text : {&bus, &vxd, &w2k, &wdm}) {
    EXPECT_TRUE(text->ends_with("\r\n;*** end of file ***\r\n"));
    EXPECT_NE(text->substr(0, 3), "\xEF\xBB\xBF");
  }
  EXPECT_TRUE(w2k.ends_with("\r\n\r\n\r\n;*** end of file ***\r\n"));
}

TEST(GenerateFiles, NineteenFilesWithoutThePreinstallerTwentyWithIt) {
  TempDir withPre;
  TempDir withoutPre;
  PackageSettings s;
  RecordingMessageBox box;
  s.outputDirectory = withPre.Dir();
  ASSERT_TRUE(GenerateFiles(s, box));
  s.generatePreinstaller = false;
  s.outputDirectory = withoutPre.Dir();
  ASSERT_TRUE(GenerateFiles(s, box));

  const std::vector<std::string> expected19 = {
      "setup.ini",    "vornbus.inf",  "vornbus.sys",  "vorncm95.sys", "vorncmnt.sys",
      "vorncomm.vxd", "vorncr.sys",   "vornser.sys",  "vornun.exe",   "vornun.u2k",
      "vornun.u98",   "vornun2k.exe", "vornvcd.vxd",  "vornvcr.vxd",  "vornvxd.inf",
      "vornw2k.inf",  "vornwdm.inf",  "vornwh95.sys", "vornwhnt.sys"};
  std::vector<std::string> expected20 = {"PreInstaller.exe"};
  expected20.insert(expected20.end(), expected19.begin(), expected19.end());
  EXPECT_EQ(FileNames(withoutPre.Path()), expected19);
  EXPECT_EQ(FileNames(withPre.Path()), expected20);
}

TEST(GenerateFiles, RunAgainReplacesFilesAndLeavesAnOldPreinstaller) {
  TempDir temp;
  WriteFile(temp.Path() / "vornbus.inf", std::string(20000, 'x'));
  WriteFile(temp.Path() / "PreInstaller.exe", "old");
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  s.generatePreinstaller = false;
  RecordingMessageBox box;
  ASSERT_TRUE(GenerateFiles(s, box));
  EXPECT_EQ(ReadFile(temp.Path() / "vornbus.inf"), ReadFile(kGoldenDir / "defaults/vornbus.inf"));
  EXPECT_EQ(ReadFile(temp.Path() / "PreInstaller.exe"), "old");
}

TEST(GenerateFiles, IdsAndShortNameDoNotReachTheVxdInf) {
  TempDir temp;
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  s.vid = "1";
  s.pid = "FFFF";
  s.shortName = "Other";
  s.copyFilesToDirectory = false;
  RecordingMessageBox box;
  ASSERT_TRUE(GenerateFiles(s, box));
  EXPECT_EQ(ReadFile(temp.Path() / "vornvxd.inf"), ReadFile(kGoldenDir / "defaults/vornvxd.inf"));
  EXPECT_EQ(ReadFile(temp.Path() / "setup.ini"), ReadFile(kGoldenDir / "defaults/setup.ini"));
}

TEST(GenerateFiles, TextOutsideTheCodePageStopsTheRunNamingTheFile) {
  // The pages refuse such text; a caller that skips them still gets no garbled file.
  TempDir temp;
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  s.codePage = 949;
  s.longName = "\xe0\xb8\xa0";  // a Thai letter, not in the Korean code page
  RecordingMessageBox box;
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{RunFailed(
                              temp.Dir() + "vornbus.inf: a character is not in code page 949")});
  EXPECT_TRUE(FileNames(temp.Path()).empty());
}

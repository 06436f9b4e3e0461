// The package settings record: defaults, derived names and the summary text.
#include "settings/PackageSettings.h"

#include <string>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"

using testsupport::ShowLineEnds;

TEST(PackageSettings, StartsFromTheDefaults) {
  const PackageSettings s;
  EXPECT_EQ(s.uninstallFileName, "vornun");
  EXPECT_EQ(s.infPrefix, "vorn");
  EXPECT_EQ(s.shortName, "vorn");
  EXPECT_EQ(s.longName, "Vorn Microsystems");
  EXPECT_EQ(s.comDeviceName, "VB7350 USB to UART Bridge Controller");
  EXPECT_EQ(s.usbDeviceName, "VB7350 USB Composite Device");
  EXPECT_EQ(s.vid, "3E7A");
  EXPECT_EQ(s.pid, "B2C9");
  EXPECT_TRUE(s.generatePreinstaller);
  EXPECT_TRUE(s.showSetupGui);
  EXPECT_TRUE(s.copyFilesToDirectory);
  EXPECT_EQ(s.targetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
  EXPECT_TRUE(s.showUninstallGui);
  EXPECT_EQ(s.outputDirectory, "");
}

TEST(PackageSettings, DefaultDerivedNames) {
  PackageSettings s;
  s.outputDirectory = "/pkg/";
  EXPECT_EQ(s.GetUpperInfPrefix(), "VORN");
  EXPECT_EQ(s.UninstallKeyName(), "VORNCOMM&3E7A&B2C9");
  EXPECT_EQ(s.BusInfName(), "vornbus.inf");
  EXPECT_EQ(s.W2kInfName(), "vornw2k.inf");
  EXPECT_EQ(s.WdmInfName(), "vornwdm.inf");
  EXPECT_EQ(s.VxdInfName(), "vornvxd.inf");
  EXPECT_EQ(s.Uninstaller98Name(), "vornun.exe");
  EXPECT_EQ(s.Uninstaller2kName(), "vornun2k.exe");
  EXPECT_EQ(s.UninstallInfo98Name(), "vornun.u98");
  EXPECT_EQ(s.UninstallInfo2kName(), "vornun.u2k");
  EXPECT_EQ(s.OutputPath(s.BusInfName()), "/pkg/vornbus.inf");
}

TEST(PackageSettings, OnlyThePrefixIsUpperCasedAndIdsAreNotPadded) {
  PackageSettings s;
  s.infPrefix = "ab";
  s.vid = "3E";
  s.pid = "1";
  EXPECT_EQ(s.UninstallKeyName(), "ABCOMM&3E&1");
  EXPECT_EQ(s.BusInfName(), "abbus.inf");
  EXPECT_EQ(s.infPrefix, "ab");  // GetUpperInfPrefix leaves the record alone

  s.infPrefix = "x-y\xE9";  // only a..z change
  EXPECT_EQ(s.GetUpperInfPrefix(), "X-Y\xE9");
}

TEST(PackageSettings, SummaryTextWithPreinstaller) {
  PackageSettings s;
  s.outputDirectory = "/home/u/Vornix/MCU/VB7350/VB7350SetupFiles/";
  EXPECT_EQ(ShowLineEnds(s.GetSummaryText()),
            ShowLineEnds("vornun.u98, vornun.u2k\r\n"
                         "vornxxxx.inf\r\n"
                         "\r\n"
                         "vorn\r\n"
                         "Vorn Microsystems\r\n"
                         "\r\n"
                         "VB7350 USB to UART Bridge Controller\r\n"
                         "VB7350 USB Composite Device\r\n"
                         "\r\n"
                         "3E7A\r\n"
                         "B2C9\r\n"
                         "\r\n"
                         "Yes\r\n"
                         "Yes\r\n"
                         "Yes\r\n"
                         "C:\\Program Files\\Vornix\\MCU\\VB7350\r\n"
                         "Yes\r\n"
                         "No\r\n"
                         "\r\n"
                         "/home/u/Vornix/MCU/VB7350/VB7350SetupFiles/"));
}

TEST(PackageSettings, SummaryTextWithoutPreinstallerDashesTheOptionLines) {
  PackageSettings s;
  s.generatePreinstaller = false;
  s.showSetupGui = false;
  s.showUninstallGui = false;
  s.shortName = "Short";
  s.outputDirectory = "/out/";
  EXPECT_EQ(ShowLineEnds(s.GetSummaryText()),
            ShowLineEnds("vornun.u98, vornun.u2k\r\nvornxxxx.inf\r\n\r\nShort\r\n"
                         "Vorn Microsystems\r\n\r\nVB7350 USB to UART Bridge Controller\r\n"
                         "VB7350 USB Composite Device\r\n\r\n3E7A\r\nB2C9\r\n\r\n"
                         "No\r\n-\r\n-\r\n-\r\n-\r\n-\r\n\r\n/out/"));
}

TEST(PackageSettings, SummaryTextShowsOptionsAsSet) {
  PackageSettings s;
  s.showSetupGui = false;
  s.copyFilesToDirectory = false;
  s.showUninstallGui = false;
  s.targetDirectory = "D:\\x";
  const std::string text = s.GetSummaryText();
  EXPECT_NE(text.find("\r\nYes\r\nNo\r\nNo\r\nD:\\x\r\nNo\r\nNo\r\n\r\n"), std::string::npos)
      << ShowLineEnds(text);
}

// The package settings record: defaults, derived names and the summary text.
#include "settings/PackageSettings.h"

#include <string>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"

using testsupport::ShowLineEnds;

TEST(PackageSettings, StartsFromTheDefaults) {
  const PackageSettings s;
  EXPECT_EQ(s.UninstallFileName, "vornun");
  EXPECT_EQ(s.InfPrefix, "vorn");
  EXPECT_EQ(s.ShortName, "vorn");
  EXPECT_EQ(s.LongName, "Vorn Microsystems");
  EXPECT_EQ(s.ComDeviceName, "VB7350 USB to UART Bridge Controller");
  EXPECT_EQ(s.UsbDeviceName, "VB7350 USB Composite Device");
  EXPECT_EQ(s.Vid, "3E7A");
  EXPECT_EQ(s.Pid, "B2C9");
  EXPECT_TRUE(s.GeneratePreinstaller);
  EXPECT_TRUE(s.ShowSetupGui);
  EXPECT_TRUE(s.CopyFilesToDirectory);
  EXPECT_EQ(s.TargetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
  EXPECT_TRUE(s.ShowUninstallGui);
  EXPECT_EQ(s.OutputDirectory, "");
}

TEST(PackageSettings, DefaultDerivedNames) {
  PackageSettings s;
  s.OutputDirectory = "/pkg/";
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
  s.InfPrefix = "ab";
  s.Vid = "3E";
  s.Pid = "1";
  EXPECT_EQ(s.UninstallKeyName(), "ABCOMM&3E&1");
  EXPECT_EQ(s.BusInfName(), "abbus.inf");
  EXPECT_EQ(s.InfPrefix, "ab");  // GetUpperInfPrefix leaves the record alone

  s.InfPrefix = "x-y\xE9";  // only a..z change
  EXPECT_EQ(s.GetUpperInfPrefix(), "X-Y\xE9");
}

TEST(PackageSettings, SummaryTextWithPreinstaller) {
  PackageSettings s;
  s.OutputDirectory = "/home/u/Vornix/MCU/VB7350/VB7350SetupFiles/";
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
  s.GeneratePreinstaller = false;
  s.ShowSetupGui = false;
  s.ShowUninstallGui = false;
  s.ShortName = "Short";
  s.OutputDirectory = "/out/";
  EXPECT_EQ(ShowLineEnds(s.GetSummaryText()),
            ShowLineEnds("vornun.u98, vornun.u2k\r\nvornxxxx.inf\r\n\r\nShort\r\n"
                         "Vorn Microsystems\r\n\r\nVB7350 USB to UART Bridge Controller\r\n"
                         "VB7350 USB Composite Device\r\n\r\n3E7A\r\nB2C9\r\n\r\n"
                         "No\r\n-\r\n-\r\n-\r\n-\r\n-\r\n\r\n/out/"));
}

TEST(PackageSettings, SummaryTextShowsOptionsAsSet) {
  PackageSettings s;
  s.ShowSetupGui = false;
  s.CopyFilesToDirectory = false;
  s.ShowUninstallGui = false;
  s.TargetDirectory = "D:\\x";
  const std::string text = s.GetSummaryText();
  EXPECT_NE(text.find("\r\nYes\r\nNo\r\nNo\r\nD:\\x\r\nNo\r\nNo\r\n\r\n"), std::string::npos)
      << ShowLineEnds(text);
}

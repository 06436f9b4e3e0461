// The setup and uninstall information files: line layouts and quiet words.
#include "generator/SetupInfo.h"

#include <string>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"

using testsupport::ShowLineEnds;

TEST(SetupInfo, DefaultTexts) {
  const PackageSettings s;
  EXPECT_EQ(ShowLineEnds(BuildUninstallInfo98(s)),
            ShowLineEnds("VB7350 USB to UART Bridge Controller\r\n"
                         "VB7350 USB Composite Device\r\n"
                         "Vorn Microsystems\r\n"
                         "vornbus.inf\r\n"
                         "vornwdm.inf\r\n"
                         "vornvxd.inf\r\n"
                         "NoQuiet\r\n"
                         "NoLeaveSource\r\n"
                         "VORNCOMM&3E7A&B2C9\r\n"
                         "C:\\Program Files\\Vornix\\MCU\\VB7350\r\n"));
  EXPECT_EQ(ShowLineEnds(BuildUninstallInfo2k(s)),
            ShowLineEnds("*VID_3E7A&PID_B2C9*\r\n"
                         "NoQuiet\r\n"
                         "NoLeaveSource\r\n"
                         "VORNCOMM&3E7A&B2C9\r\n"
                         "C:\\Program Files\\Vornix\\MCU\\VB7350\r\n"));
  EXPECT_EQ(ShowLineEnds(BuildSetupIni(s)),
            ShowLineEnds("VB7350 USB to UART Bridge Controller Driver Set\r\n"
                         "C:\\Program Files\\Vornix\\MCU\\VB7350\r\n"
                         "NoQuiet\r\n"
                         "Copy Files\r\n"
                         "vornbus.inf\r\nvornw2k.inf\r\nvornwdm.inf\r\nvornvxd.inf\r\n"
                         "vornun.exe\r\nvornun2k.exe\r\nvornun.u98\r\nvornun.u2k\r\n"
                         "vornbus.cat\r\nvornser.cat\r\n"
                         "vornbus.sys\r\nvorncm95.sys\r\nvorncmnt.sys\r\nvorncr.sys\r\n"
                         "vornser.sys\r\nvornwhnt.sys\r\nvorncomm.vxd\r\nvornvcd.vxd\r\n"
                         "vornvcr.vxd\r\n"
                         "\r\n"));
}

TEST(SetupInfo, EachFileTakesItsOwnQuietWord) {
  PackageSettings s;
  s.showSetupGui = false;
  s.showUninstallGui = true;
  EXPECT_NE(BuildUninstallInfo2k(s).find("*\r\nQuiet\r\n"), std::string::npos);
  EXPECT_NE(BuildUninstallInfo98(s).find(".inf\r\nNoQuiet\r\n"), std::string::npos);
  EXPECT_NE(BuildSetupIni(s).find("VB7350\r\nNoQuiet\r\n"), std::string::npos);

  s.showSetupGui = true;
  s.showUninstallGui = false;
  EXPECT_NE(BuildUninstallInfo2k(s).find("*\r\nNoQuiet\r\n"), std::string::npos);
  EXPECT_NE(BuildUninstallInfo98(s).find(".inf\r\nQuiet\r\n"), std::string::npos);
  EXPECT_NE(BuildSetupIni(s).find("VB7350\r\nQuiet\r\n"), std::string::npos);
}

TEST(SetupInfo, CopyFilesLineAndUpperCaseKeyStayFixed) {
  PackageSettings s;
  s.copyFilesToDirectory = false;
  s.infPrefix = "ab";
  EXPECT_NE(BuildSetupIni(s).find("NoQuiet\r\nCopy Files\r\nabbus.inf\r\n"), std::string::npos);
  const std::string u98 = BuildUninstallInfo98(s);
  EXPECT_NE(u98.find("\r\nabbus.inf\r\n"), std::string::npos);
  EXPECT_NE(u98.find("\r\nABCOMM&3E7A&B2C9\r\n"), std::string::npos);
}

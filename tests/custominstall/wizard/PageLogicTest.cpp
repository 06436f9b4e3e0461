// The first five wizard pages without windows: blanks, hex and directory checks, the
// preinstaller rule, and the record travelling in both directions.
#include "wizard/PageLogic.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ScriptedMessageBox.h"
#include "wizard/WizardFlow.h"

using wizardtest::BlanksMessage;
using wizardtest::CScriptedMessageBox;
using wizardtest::FileNameMessage;
using wizardtest::HexMessage;
using wizardtest::QuoteMessage;
using wizardtest::RecordedMessage;
using wizardtest::TargetDirectoryMessage;

TEST(WizardFlow, WalksTheSevenPagesInOrder) {
  const std::vector<PageId> order = {PageId::Welcome, PageId::Names,   PageId::DeviceNames,
                                     PageId::VidPid,  PageId::Options, PageId::OutputDir,
                                     PageId::Summary};
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(NextPage(order[i]), order[i + 1]);
    EXPECT_EQ(PreviousPage(order[i + 1]), order[i]);
  }
  EXPECT_EQ(NextPage(PageId::Summary), std::nullopt);
  EXPECT_EQ(PreviousPage(PageId::Welcome), std::nullopt);
}

TEST(CWelcomePage, NextStartsADefaultRecordWithTheDefaultFolderUnderHome) {
  const PackageSettings settings = CWelcomePage::OnNext("/home/ann");
  EXPECT_EQ(settings.OutputDirectory, "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/");
  EXPECT_EQ(settings.UninstallFileName, "vornun");
  EXPECT_EQ(settings.Vid, "3E7A");
  EXPECT_TRUE(settings.GeneratePreinstaller);
  // A home that already ends with the separator gets no second one.
  EXPECT_EQ(CWelcomePage::OnNext("/").OutputDirectory, "/Vornix/MCU/VB7350/VB7350SetupFiles/");
}

TEST(CNamesPage, EachEmptyFieldIsABlankButSpacesAreFilledIn) {
  for (int blank = 0; blank < 4; ++blank) {
    SCOPED_TRACE(blank);
    CNamesPage page{PackageSettings{}};
    std::string* fields[] = {&page.m_strUninstallFileName, &page.m_strInfPrefix,
                             &page.m_strShortName, &page.m_strLongName};
    fields[blank]->clear();
    CScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{BlanksMessage()});
  }

  CNamesPage page{PackageSettings{}};
  page.m_strShortName = "   ";
  page.m_strLongName = "    ";
  CScriptedMessageBox box;
  EXPECT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().ShortName, "   ");
  EXPECT_EQ(page.Settings().LongName, "    ");
}

TEST(CNamesPage, RefusesWhatBreaksThePackageWithThePagesOtherChecks) {
  struct Case {
    std::string CNamesPage::*field;
    std::string value;
    RecordedMessage message;
  };
  std::vector<Case> cases;
  const std::pair<std::string, std::string> refused[] = {
      {"\\", "'\\'"},     {"/", "'/'"},     {":", "':'"},      {"*", "'*'"}, {"?", "'?'"},
      {"\"", "'\"'"},     {"<", "'<'"},     {">", "'>'"},      {"|", "'|'"}, {";", "';'"},
      {",", "','"},       {"=", "'='"},     {"[", "'['"},      {"]", "']'"}, {"%", "'%'"},
      {"\x01", "U+0001"}, {"\t", "U+0009"}, {"\x7f", "U+007F"}};
  for (const auto& [bad, found] : refused) {
    const std::string name = "a" + bad + "b";
    cases.push_back({&CNamesPage::m_strUninstallFileName, name, FileNameMessage(found)});
    cases.push_back({&CNamesPage::m_strInfPrefix, name, FileNameMessage(found)});
  }
  const RecordedMessage edgeSpace =
      wizardtest::PageMessage("File names cannot begin or end with a space; an INF file drops it.");
  cases.push_back({&CNamesPage::m_strUninstallFileName, " un", edgeSpace});
  cases.push_back({&CNamesPage::m_strInfPrefix, "ab ", edgeSpace});
  cases.push_back({&CNamesPage::m_strInfPrefix, "\xc3\xa9",
                   wizardtest::PageMessage("File names can hold printable ASCII characters only; "
                                           "found '\xc3\xa9' (U+00E9).")});
  cases.push_back({&CNamesPage::m_strLongName, "Foo \"Bar\"", QuoteMessage()});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    CNamesPage page{PackageSettings{}};
    page.*c.field = c.value;
    CScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{c.message});
  }
  // Blanks come first; the short name is in no file, so a quote there is fine, and so are
  // the characters valid inside quoted INF strings.
  CNamesPage page{PackageSettings{}};
  page.m_strInfPrefix = "a:b";
  page.m_strLongName.clear();
  CScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{BlanksMessage()});
  CNamesPage valid{PackageSettings{}};
  valid.m_strUninstallFileName = "u n&'(1)";
  valid.m_strInfPrefix = "A-_(";
  valid.m_strShortName = "\"short\"";
  valid.m_strLongName = "100% \\ Acme; Inc, Ltd";
  box.Clear();
  EXPECT_TRUE(valid.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
}

TEST(CDeviceNamesPage, AQuoteInEitherNameIsRefused) {
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(which);
    CDeviceNamesPage page{PackageSettings{}};
    (which == 0 ? page.m_strComDeviceName : page.m_strUsbDeviceName) = "Port \"1\"";
    CScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{QuoteMessage()});
  }
  CDeviceNamesPage page{PackageSettings{}};
  page.m_strComDeviceName = "Port, 50% \\ $(Vid); x";
  CScriptedMessageBox box;
  EXPECT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
}

TEST(CNamesPage, OpensWithTheRecordAndStoresWhatWasTyped) {
  PackageSettings incoming;
  incoming.ShortName = "acme";
  CNamesPage page{incoming};
  EXPECT_EQ(page.m_strUninstallFileName, "vornun");
  EXPECT_EQ(page.m_strShortName, "acme");
  page.m_strUninstallFileName = "acmeun";
  page.m_strInfPrefix = "acm";
  CScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_EQ(page.Settings().UninstallFileName, "acmeun");
  EXPECT_EQ(page.Settings().InfPrefix, "acm");
  EXPECT_EQ(page.Settings().ShortName, "acme");
}

TEST(CDeviceNamesPage, BlanksStopNextButBackStoresWithoutChecks) {
  CDeviceNamesPage page{PackageSettings{}};
  page.m_strUsbDeviceName.clear();
  CScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{BlanksMessage()});

  box.Clear();
  page.m_strComDeviceName = "Acme Port";
  page.OnBack();
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().ComDeviceName, "Acme Port");
  EXPECT_EQ(page.Settings().UsbDeviceName, "");
}

TEST(CDeviceNamesPage, BackKeepsTheValuesWhenTheUserComesForwardAgain) {
  // names -> device names (typing) -> Back -> names -> Next -> device names
  CNamesPage names{CWelcomePage::OnNext("/home/ann")};
  CScriptedMessageBox box;
  ASSERT_TRUE(names.OnNext(box));
  CDeviceNamesPage devices{names.Settings()};
  devices.m_strComDeviceName = "Acme Serial";
  devices.m_strUsbDeviceName = "Acme Hub";
  devices.OnBack();
  CNamesPage namesAgain{devices.Settings()};
  ASSERT_TRUE(namesAgain.OnNext(box));
  CDeviceNamesPage devicesAgain{namesAgain.Settings()};
  EXPECT_EQ(devicesAgain.m_strComDeviceName, "Acme Serial");
  EXPECT_EQ(devicesAgain.m_strUsbDeviceName, "Acme Hub");
  EXPECT_EQ(devicesAgain.Settings().OutputDirectory,
            "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/");
}

TEST(CVidPidPage, HexIsCheckedBeforeBlanksAndPassesAnEmptyText) {
  struct Case {
    const char* vid;
    const char* pid;
    bool passes;
    const char* message;  // null: none
  };
  const Case cases[] = {
      {"3E7G", "B2C9", false, "hex"},  {"3E7A", "b2c9", false, "hex"},
      {"", "12", false, "blanks"},     {"12", "", false, "blanks"},
      {"", "XYZ", false, "hex"},       {"3E", "1", true, nullptr},
      {"0123", "ABCD", true, nullptr}, {"3E7A ", "B2C9", false, "hex"},
      {"0X3E", "B2C9", false, "0x"},   {"3E7A", "0x12", false, "0x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.vid) + "/" + c.pid);
    CVidPidPage page{PackageSettings{}};
    page.m_strVid = c.vid;
    page.m_strPid = c.pid;
    CScriptedMessageBox box;
    EXPECT_EQ(page.OnNext(box), c.passes);
    std::vector<RecordedMessage> expected;
    if (c.message != nullptr) {
      const std::string kind = c.message;
      expected.push_back(
          kind == "hex"  ? HexMessage()
          : kind == "0x" ? wizardtest::PageMessage("Leave out the 0x: type the hexadecimal digits "
                                                   "only, e.g. 3E7A.")
                         : BlanksMessage());
    }
    EXPECT_EQ(box.messages, expected);
  }
}

TEST(CVidPidPage, NextStoresTheIdsUnpaddedAndSwitchesThePreinstallerOn) {
  PackageSettings incoming;
  incoming.GeneratePreinstaller = false;
  CVidPidPage page{incoming};
  page.m_strVid = "3E";
  page.m_strPid = "1";
  CScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_EQ(page.Settings().Vid, "3E");
  EXPECT_EQ(page.Settings().Pid, "1");
  EXPECT_TRUE(page.Settings().GeneratePreinstaller);
}

TEST(CVidPidPage, TheNoteNamesEachIdShorterThanFourDigits) {
  EXPECT_EQ(CVidPidPage::ShortIdNote("3E7A", "B2C9"), "");
  EXPECT_EQ(CVidPidPage::ShortIdNote("", "B2C9"), "");  // a blank is the blanks check's
  EXPECT_EQ(CVidPidPage::ShortIdNote("3E", "B2C9"),
            "Note: Windows reports USB IDs with four digits, so 3E matches no device; type 003E.");
  EXPECT_EQ(CVidPidPage::ShortIdNote("3E", "1"),
            "Note: Windows reports USB IDs with four digits, so 3E matches no device; type 003E."
            "\nWindows reports USB IDs with four digits, so 1 matches no device; type 0001.");
}

TEST(CVidPidPage, BackStoresEvenABadIdAndLeavesThePreinstallerAlone) {
  PackageSettings incoming;
  incoming.GeneratePreinstaller = false;
  CVidPidPage page{incoming};
  page.m_strVid = "ZZ";
  page.m_strPid = "";
  page.OnBack();
  EXPECT_EQ(page.Settings().Vid, "ZZ");
  EXPECT_EQ(page.Settings().Pid, "");
  EXPECT_FALSE(page.Settings().GeneratePreinstaller);
}

TEST(COptionsPage, ClearingThePreinstallerResetsAndHidesItsControls) {
  COptionsPage page{PackageSettings{}};
  EXPECT_TRUE(page.m_bPreinstallerControlsVisible);
  page.m_bShowSetupGui = false;
  page.m_bCopyFilesToDirectory = false;
  page.m_strTargetDirectory = "D:\\Elsewhere";
  page.m_bShowUninstallGui = false;

  page.OnPreinstallerClicked(false);
  EXPECT_FALSE(page.m_bGeneratePreinstaller);
  EXPECT_FALSE(page.m_bPreinstallerControlsVisible);
  EXPECT_TRUE(page.m_bShowSetupGui);
  EXPECT_TRUE(page.m_bCopyFilesToDirectory);
  EXPECT_EQ(page.m_strTargetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
  EXPECT_FALSE(page.m_bShowUninstallGui);  // the uninstaller group is never touched

  // Checking the box again shows the controls with the values the reset left.
  page.OnPreinstallerClicked(true);
  EXPECT_TRUE(page.m_bGeneratePreinstaller);
  EXPECT_TRUE(page.m_bPreinstallerControlsVisible);
  EXPECT_TRUE(page.m_bShowSetupGui);
  EXPECT_TRUE(page.m_bCopyFilesToDirectory);
  EXPECT_EQ(page.m_strTargetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
}

TEST(COptionsPage, TargetDirectoryKeepsTheWindowsRule) {
  const struct {
    const char* path;
    bool valid;
  } cases[] = {
      {"C:\\drivers", true}, {"\\\\server\\share", true}, {"", true},
      {"C:drivers", false},  {"C:\\a:", false},           {"C:\\x?y", false},
      {"C:/drivers", false}, {"C:\\a*b", false},          {"C:\\\"q\"", false},
      {"C:\\a<b", false},    {"C:\\a>b", false},          {"C:\\a|b", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    COptionsPage page{PackageSettings{}};
    page.m_strTargetDirectory = c.path;
    CScriptedMessageBox box;
    EXPECT_EQ(page.OnNext(box), c.valid);
    if (c.valid) {
      EXPECT_TRUE(box.messages.empty());
      EXPECT_EQ(page.Settings().TargetDirectory, c.path);
    } else {
      EXPECT_EQ(box.messages, std::vector<RecordedMessage>{TargetDirectoryMessage()});
      EXPECT_EQ(page.Settings().TargetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
    }
  }
}

TEST(COptionsPage, NextAndBackStoreAllFiveControls) {
  COptionsPage page{PackageSettings{}};
  page.OnPreinstallerClicked(false);
  page.m_bShowUninstallGui = false;
  CScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_FALSE(page.Settings().GeneratePreinstaller);
  EXPECT_TRUE(page.Settings().ShowSetupGui);
  EXPECT_FALSE(page.Settings().ShowUninstallGui);

  // Back stores without the directory check; coming back shows every control again.
  COptionsPage again{page.Settings()};
  EXPECT_FALSE(again.m_bGeneratePreinstaller);
  EXPECT_TRUE(again.m_bPreinstallerControlsVisible);
  again.m_strTargetDirectory = "C:bad";
  again.OnBack();
  EXPECT_EQ(again.Settings().TargetDirectory, "C:bad");
}

TEST(COptionsPage, TextBeyondTheChosenCodePageIsRefusedNamingItsField) {
  PackageSettings incoming;
  incoming.LongName = "\xea\xb5\xad";  // the Korean letter U+AD6D
  COptionsPage page{incoming};
  EXPECT_EQ(page.m_codePage, 0);
  CScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages,
            std::vector<RecordedMessage>{wizardtest::PageMessage(
                "Long name: '\xea\xb5\xad' (U+AD6D) is beyond ASCII. Windows reads an INF file "
                "without a byte-order mark in its own code page, so choose the code page of this "
                "text under \"Code page\" on this page.")});
  EXPECT_EQ(page.Settings().CodePage, 0);

  box.Clear();
  page.m_codePage = 1252;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::PageMessage(
                              "Long name: '\xea\xb5\xad' (U+AD6D) is not in code page 1252.")});

  box.Clear();
  page.m_codePage = 949;
  EXPECT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().CodePage, 949);
}

TEST(COptionsPage, HelpButtonsShowTheirWholeTextOwnedByThePage) {
  CScriptedMessageBox box;
  COptionsPage::ShowHelp(box, kTargetDirectoryHelp);
  ASSERT_EQ(box.messages.size(), 1u);
  EXPECT_EQ(box.messages[0].caption, "VB7350CustomInstall");
  EXPECT_EQ(box.messages[0].icon, MessageIcon::None);
  EXPECT_TRUE(box.messages[0].ownedByPage);
  // One running line per paragraph: the box wraps them at its own width.
  EXPECT_EQ(box.messages[0].text,
            "Target Directory:\n\nSelects the hard drive location that will contain a copy of "
            "the driver files. The default location is C:\\Program Files\\Vornix\\MCU\\VB7350. "
            "If the \"Display GUI window during Setup\" option is selected, this path can be "
            "changed during installation by clicking the Browse button. However, if the "
            "\"Display GUI  window during Setup\" option is not selected then the default "
            "directory is always used. This option is ignored if the \"Copy Files to "
            "Directory during Setup\" option is not selected.\n\nNote: The Target Directory "
            "must be different for each product released.");
}

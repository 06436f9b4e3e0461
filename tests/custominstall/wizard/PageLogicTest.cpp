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
using wizardtest::FileNameMessage;
using wizardtest::HexMessage;
using wizardtest::QuoteMessage;
using wizardtest::RecordedMessage;
using wizardtest::ScriptedMessageBox;
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

TEST(WelcomePage, NextStartsADefaultRecordWithTheDefaultFolderUnderHome) {
  const PackageSettings settings = WelcomePage::OnNext("/home/ann");
  EXPECT_EQ(settings.outputDirectory, "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/");
  EXPECT_EQ(settings.uninstallFileName, "vornun");
  EXPECT_EQ(settings.vid, "3E7A");
  EXPECT_TRUE(settings.generatePreinstaller);
  // A home that already ends with the separator gets no second one.
  EXPECT_EQ(WelcomePage::OnNext("/").outputDirectory, "/Vornix/MCU/VB7350/VB7350SetupFiles/");
}

TEST(NamesPage, EachEmptyFieldIsABlankButSpacesAreFilledIn) {
  for (int blank = 0; blank < 4; ++blank) {
    SCOPED_TRACE(blank);
    NamesPage page{PackageSettings{}};
    std::string* fields[] = {&page.m_uninstallFileName, &page.m_infPrefix, &page.m_shortName,
                             &page.m_longName};
    fields[blank]->clear();
    ScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{BlanksMessage()});
  }

  NamesPage page{PackageSettings{}};
  page.m_shortName = "   ";
  page.m_longName = "    ";
  ScriptedMessageBox box;
  EXPECT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().shortName, "   ");
  EXPECT_EQ(page.Settings().longName, "    ");
}

TEST(NamesPage, RefusesWhatBreaksThePackageWithThePagesOtherChecks) {
  struct Case {
    std::string NamesPage::*field;
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
    cases.push_back({&NamesPage::m_uninstallFileName, name, FileNameMessage(found)});
    cases.push_back({&NamesPage::m_infPrefix, name, FileNameMessage(found)});
  }
  const RecordedMessage edgeSpace =
      wizardtest::PageMessage("File names cannot begin or end with a space; an INF file drops it.");
  cases.push_back({&NamesPage::m_uninstallFileName, " un", edgeSpace});
  cases.push_back({&NamesPage::m_infPrefix, "ab ", edgeSpace});
  cases.push_back({&NamesPage::m_infPrefix, "\xc3\xa9",
                   wizardtest::PageMessage("File names can hold printable ASCII characters only; "
                                           "found '\xc3\xa9' (U+00E9).")});
  cases.push_back({&NamesPage::m_longName, "Foo \"Bar\"", QuoteMessage()});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    NamesPage page{PackageSettings{}};
    page.*c.field = c.value;
    ScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{c.message});
  }
  // Blanks come first; the short name is in no file, so a quote there is fine, and so are
  // the characters valid inside quoted INF strings.
  NamesPage page{PackageSettings{}};
  page.m_infPrefix = "a:b";
  page.m_longName.clear();
  ScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{BlanksMessage()});
  NamesPage valid{PackageSettings{}};
  valid.m_uninstallFileName = "u n&'(1)";
  valid.m_infPrefix = "A-_(";
  valid.m_shortName = "\"short\"";
  valid.m_longName = "100% \\ Acme; Inc, Ltd";
  box.Clear();
  EXPECT_TRUE(valid.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
}

TEST(DeviceNamesPage, AQuoteInEitherNameIsRefused) {
  for (int which = 0; which < 2; ++which) {
    SCOPED_TRACE(which);
    DeviceNamesPage page{PackageSettings{}};
    (which == 0 ? page.m_comDeviceName : page.m_usbDeviceName) = "Port \"1\"";
    ScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{QuoteMessage()});
  }
  DeviceNamesPage page{PackageSettings{}};
  page.m_comDeviceName = "Port, 50% \\ $(Vid); x";
  ScriptedMessageBox box;
  EXPECT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
}

TEST(NamesPage, OpensWithTheRecordAndStoresWhatWasTyped) {
  PackageSettings incoming;
  incoming.shortName = "acme";
  NamesPage page{incoming};
  EXPECT_EQ(page.m_uninstallFileName, "vornun");
  EXPECT_EQ(page.m_shortName, "acme");
  page.m_uninstallFileName = "acmeun";
  page.m_infPrefix = "acm";
  ScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_EQ(page.Settings().uninstallFileName, "acmeun");
  EXPECT_EQ(page.Settings().infPrefix, "acm");
  EXPECT_EQ(page.Settings().shortName, "acme");
}

TEST(DeviceNamesPage, BlanksStopNextButBackStoresWithoutChecks) {
  DeviceNamesPage page{PackageSettings{}};
  page.m_usbDeviceName.clear();
  ScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{BlanksMessage()});

  box.Clear();
  page.m_comDeviceName = "Acme Port";
  page.OnBack();
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().comDeviceName, "Acme Port");
  EXPECT_EQ(page.Settings().usbDeviceName, "");
}

TEST(DeviceNamesPage, BackKeepsTheValuesWhenTheUserComesForwardAgain) {
  // names -> device names (typing) -> Back -> names -> Next -> device names
  NamesPage names{WelcomePage::OnNext("/home/ann")};
  ScriptedMessageBox box;
  ASSERT_TRUE(names.OnNext(box));
  DeviceNamesPage devices{names.Settings()};
  devices.m_comDeviceName = "Acme Serial";
  devices.m_usbDeviceName = "Acme Hub";
  devices.OnBack();
  NamesPage namesAgain{devices.Settings()};
  ASSERT_TRUE(namesAgain.OnNext(box));
  DeviceNamesPage devicesAgain{namesAgain.Settings()};
  EXPECT_EQ(devicesAgain.m_comDeviceName, "Acme Serial");
  EXPECT_EQ(devicesAgain.m_usbDeviceName, "Acme Hub");
  EXPECT_EQ(devicesAgain.Settings().outputDirectory,
            "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/");
}

TEST(VidPidPage, HexIsCheckedBeforeBlanksAndPassesAnEmptyText) {
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
    VidPidPage page{PackageSettings{}};
    page.m_vid = c.vid;
    page.m_pid = c.pid;
    ScriptedMessageBox box;
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

TEST(VidPidPage, NextStoresTheIdsUnpaddedAndSwitchesThePreinstallerOn) {
  PackageSettings incoming;
  incoming.generatePreinstaller = false;
  VidPidPage page{incoming};
  page.m_vid = "3E";
  page.m_pid = "1";
  ScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_EQ(page.Settings().vid, "3E");
  EXPECT_EQ(page.Settings().pid, "1");
  EXPECT_TRUE(page.Settings().generatePreinstaller);
}

TEST(VidPidPage, TheNoteNamesEachIdShorterThanFourDigits) {
  EXPECT_EQ(VidPidPage::ShortIdNote("3E7A", "B2C9"), "");
  EXPECT_EQ(VidPidPage::ShortIdNote("", "B2C9"), "");  // a blank is the blanks check's
  EXPECT_EQ(VidPidPage::ShortIdNote("3E", "B2C9"),
            "Note: Windows reports USB IDs with four digits, so 3E matches no device; type 003E.");
  EXPECT_EQ(VidPidPage::ShortIdNote("3E", "1"),
            "Note: Windows reports USB IDs with four digits, so 3E matches no device; type 003E."
            "\nWindows reports USB IDs with four digits, so 1 matches no device; type 0001.");
}

TEST(VidPidPage, BackStoresEvenABadIdAndLeavesThePreinstallerAlone) {
  PackageSettings incoming;
  incoming.generatePreinstaller = false;
  VidPidPage page{incoming};
  page.m_vid = "ZZ";
  page.m_pid = "";
  page.OnBack();
  EXPECT_EQ(page.Settings().vid, "ZZ");
  EXPECT_EQ(page.Settings().pid, "");
  EXPECT_FALSE(page.Settings().generatePreinstaller);
}

TEST(OptionsPage, ClearingThePreinstallerResetsAndHidesItsControls) {
  OptionsPage page{PackageSettings{}};
  EXPECT_TRUE(page.m_preinstallerControlsVisible);
  page.m_showSetupGui = false;
  page.m_copyFilesToDirectory = false;
  page.m_targetDirectory = "D:\\Elsewhere";
  page.m_showUninstallGui = false;

  page.OnPreinstallerClicked(false);
  EXPECT_FALSE(page.m_generatePreinstaller);
  EXPECT_FALSE(page.m_preinstallerControlsVisible);
  EXPECT_TRUE(page.m_showSetupGui);
  EXPECT_TRUE(page.m_copyFilesToDirectory);
  EXPECT_EQ(page.m_targetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
  EXPECT_FALSE(page.m_showUninstallGui);  // the uninstaller group is never touched

  // Checking the box again shows the controls with the values the reset left.
  page.OnPreinstallerClicked(true);
  EXPECT_TRUE(page.m_generatePreinstaller);
  EXPECT_TRUE(page.m_preinstallerControlsVisible);
  EXPECT_TRUE(page.m_showSetupGui);
  EXPECT_TRUE(page.m_copyFilesToDirectory);
  EXPECT_EQ(page.m_targetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
}

TEST(OptionsPage, TargetDirectoryKeepsTheWindowsRule) {
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
    OptionsPage page{PackageSettings{}};
    page.m_targetDirectory = c.path;
    ScriptedMessageBox box;
    EXPECT_EQ(page.OnNext(box), c.valid);
    if (c.valid) {
      EXPECT_TRUE(box.messages.empty());
      EXPECT_EQ(page.Settings().targetDirectory, c.path);
    } else {
      EXPECT_EQ(box.messages, std::vector<RecordedMessage>{TargetDirectoryMessage()});
      EXPECT_EQ(page.Settings().targetDirectory, "C:\\Program Files\\Vornix\\MCU\\VB7350");
    }
  }
}

TEST(OptionsPage, NextAndBackStoreAllFiveControls) {
  OptionsPage page{PackageSettings{}};
  page.OnPreinstallerClicked(false);
  page.m_showUninstallGui = false;
  ScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_FALSE(page.Settings().generatePreinstaller);
  EXPECT_TRUE(page.Settings().showSetupGui);
  EXPECT_FALSE(page.Settings().showUninstallGui);

  // Back stores without the directory check; coming back shows every control again.
  OptionsPage again{page.Settings()};
  EXPECT_FALSE(again.m_generatePreinstaller);
  EXPECT_TRUE(again.m_preinstallerControlsVisible);
  again.m_targetDirectory = "C:bad";
  again.OnBack();
  EXPECT_EQ(again.Settings().targetDirectory, "C:bad");
}

TEST(OptionsPage, TextBeyondTheChosenCodePageIsRefusedNamingItsField) {
  PackageSettings incoming;
  incoming.longName = "\xea\xb5\xad";  // the Korean letter U+AD6D
  OptionsPage page{incoming};
  EXPECT_EQ(page.m_codePage, 0);
  ScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages,
            std::vector<RecordedMessage>{wizardtest::PageMessage(
                "Long name: '\xea\xb5\xad' (U+AD6D) is beyond ASCII. Windows reads an INF file "
                "without a byte-order mark in its own code page, so choose the code page of this "
                "text under \"Code page\" on this page.")});
  EXPECT_EQ(page.Settings().codePage, 0);

  box.Clear();
  page.m_codePage = 1252;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::PageMessage(
                              "Long name: '\xea\xb5\xad' (U+AD6D) is not in code page 1252.")});

  box.Clear();
  page.m_codePage = 949;
  EXPECT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().codePage, 949);
}

TEST(OptionsPage, HelpButtonsShowTheirWholeTextOwnedByThePage) {
  ScriptedMessageBox box;
  OptionsPage::ShowHelp(box, kTargetDirectoryHelp);
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

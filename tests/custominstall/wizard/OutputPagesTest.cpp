// The output-folder page (check, lookup, creation question, level-by-level creation) and
// the summary page (its text and Finish), on real folders.
#include "wizard/OutputPages.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScriptedMessageBox.h"

namespace fs = std::filesystem;
using testsupport::TempDir;
using wizardtest::CreateFailed;
using wizardtest::CreateQuestion;
using wizardtest::OutputDirectoryMessage;
using wizardtest::RecordedMessage;
using wizardtest::ScriptedMessageBox;

namespace {

constexpr const char* kHome = "/home/ann";

OutputDirPage PageWith(const std::string& typed) {
  OutputDirPage page{PackageSettings{}, kHome};
  page.m_outputDirectory = typed;
  return page;
}

}  // namespace

TEST(OutputDirPage, RefusesEveryCharacterWindowsForbidsWithTheHostMessage) {
  TempDir temp;
  for (const char* bad : {"\\", ":", "*", "?", "\"", "<", ">", "|"}) {
    SCOPED_TRACE(bad);
    OutputDirPage page = PageWith(temp.Dir() + "a" + bad + "b");
    ScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{OutputDirectoryMessage()});
    EXPECT_EQ(page.Settings().outputDirectory, "");
  }
  EXPECT_EQ(std::vector<std::string>{}, testsupport::FileNames(temp.Path()));
}

TEST(OutputDirPage, AnExistingFolderNeedsNoQuestionAndGainsTheSeparator) {
  TempDir temp;
  OutputDirPage page = PageWith(temp.Path().string());
  ScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().outputDirectory, temp.Dir());

  OutputDirPage withSeparator = PageWith(temp.Dir());
  ASSERT_TRUE(withSeparator.OnNext(box));
  EXPECT_EQ(withSeparator.Settings().outputDirectory, temp.Dir());
  EXPECT_TRUE(box.messages.empty());
}

TEST(OutputDirPage, AFileInTheFolderPlaceIsRefusedNamingItsPath) {
  TempDir temp;
  testsupport::WriteFile(temp / "file", "x");
  for (const std::string& typed : {temp.Dir() + "file", temp.Dir() + "file/"}) {
    SCOPED_TRACE(typed);
    OutputDirPage page = PageWith(typed);
    ScriptedMessageBox box;
    EXPECT_FALSE(page.OnNext(box));
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::PageMessage(
                                temp.Dir() + "file is a file, not a folder.")});
    EXPECT_EQ(page.Settings().outputDirectory, "");
  }
}

TEST(OutputDirPage, TheRootIsAnExistingFolder) {
  OutputDirPage page = PageWith("/");
  ScriptedMessageBox box;
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_TRUE(box.messages.empty());
  EXPECT_EQ(page.Settings().outputDirectory, "/");
}

TEST(OutputDirPage, YesCreatesEveryMissingLevel) {
  TempDir temp;
  const std::string typed = temp.Dir() + "a/b/c";
  OutputDirPage page = PageWith(typed);
  ScriptedMessageBox box;
  box.answers = {MessageResult::Yes};
  ASSERT_TRUE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{CreateQuestion()});
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a"));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a" / "b"));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a" / "b" / "c"));
  EXPECT_EQ(page.Settings().outputDirectory, typed + "/");
  EXPECT_EQ(page.m_outputDirectory, typed + "/");
}

TEST(OutputDirPage, NoLeavesDiskAndEditBoxAsTheyWere) {
  TempDir temp;
  const std::string typed = temp.Dir() + "pkg";
  OutputDirPage page = PageWith(typed);
  ScriptedMessageBox box;
  box.answers = {MessageResult::No};
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{CreateQuestion()});
  EXPECT_FALSE(fs::exists(temp.Path() / "pkg"));
  EXPECT_EQ(page.m_outputDirectory, typed);
  EXPECT_EQ(page.Settings().outputDirectory, "");
}

TEST(OutputDirPage, ACreationFailureIsReportedAndTheBoxKeepsTheSeparator) {
  TempDir temp;
  testsupport::WriteFile(temp.Path() / "file", "x");
  // A file in the way of a deep path: one question, one error, nothing created.
  std::string typed = temp.Dir() + "file";
  for (int level = 0; level < 60; ++level) {
    typed += "/d";
  }
  OutputDirPage page = PageWith(typed);
  ScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{
                              CreateQuestion(), CreateFailed(typed + "/: Not a directory")}));
  EXPECT_EQ(page.m_outputDirectory, typed + "/");
  EXPECT_EQ(page.Settings().outputDirectory, "");
  EXPECT_TRUE(fs::is_regular_file(temp.Path() / "file"));
}

TEST(OutputDirPage, AnEmptyBoxIsAskedAboutAndCannotBeCreated) {
  OutputDirPage page = PageWith("");
  ScriptedMessageBox box;
  EXPECT_FALSE(page.OnNext(box));
  EXPECT_EQ(box.messages,
            (std::vector<RecordedMessage>{CreateQuestion(), CreateFailed("/: File exists")}));
  EXPECT_EQ(page.m_outputDirectory, "/");
}

TEST(OutputDirPage, BrowseFillsTheBoxOnlyAndACancelKeepsIt) {
  OutputDirPage page{WelcomePage::OnNext(kHome), kHome};
  EXPECT_EQ(page.m_outputDirectory, "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/");
  page.OnBrowse("_NoDirSelected_");
  EXPECT_EQ(page.m_outputDirectory, "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/");
  page.OnBrowse("/srv/packages");
  EXPECT_EQ(page.m_outputDirectory, "/srv/packages");
  EXPECT_EQ(page.Settings().outputDirectory, "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/");
}

TEST(OutputDirPage, BackStoresEvenABadFolderWithTheSeparatorUnchecked) {
  OutputDirPage page = PageWith("/no/such:place");
  page.OnBack();
  EXPECT_EQ(page.Settings().outputDirectory, "/no/such:place/");
  EXPECT_FALSE(fs::exists("/no/such:place"));
}

TEST(OutputDirPage, TildeAndRelativeFoldersAreResolvedAndShownAbsolute) {
  TempDir temp;
  const fs::path previous = fs::current_path();
  fs::current_path(temp.Path());
  struct Case {
    std::string typed;
    std::string stored;
  };
  const std::vector<Case> cases = {
      {"rel/pkg", temp.Dir() + "rel/pkg/"},
      {"./dot//twice/", temp.Dir() + "dot/twice/"},
      {"new/.", temp.Dir() + "new/"},
      {"a/b/..", temp.Dir() + "a/"},
      {temp.Dir() + "x/../y", temp.Dir() + "y/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    OutputDirPage page = PageWith(c.typed);
    ScriptedMessageBox box;
    EXPECT_TRUE(page.OnNext(box));  // created at the first attempt
    EXPECT_EQ(box.messages, std::vector<RecordedMessage>{CreateQuestion()});
    EXPECT_EQ(page.Settings().outputDirectory, c.stored);
    EXPECT_EQ(page.m_outputDirectory, c.stored);
    EXPECT_TRUE(fs::is_directory(c.stored));
  }
  fs::current_path(previous);
  EXPECT_FALSE(fs::exists(temp / "~"));

  // "~" and "~/..." are the home folder given to the page; "~x" is a name like any other.
  OutputDirPage home{PackageSettings{}, temp.Dir() + "home"};
  fs::create_directory(temp / "home");
  home.m_outputDirectory = "~/pkg";
  ScriptedMessageBox box;
  EXPECT_TRUE(home.OnNext(box));
  EXPECT_EQ(home.Settings().outputDirectory, temp.Dir() + "home/pkg/");
  EXPECT_TRUE(fs::is_directory(temp / "home" / "pkg"));
  home.m_outputDirectory = "~";
  EXPECT_TRUE(home.OnNext(box));
  EXPECT_EQ(home.Settings().outputDirectory, temp.Dir() + "home/");
}

TEST(SummaryPage, ShowsEveryLineBesideItsLabel) {
  PackageSettings settings;
  settings.outputDirectory = "/home/ann/pkg/";
  EXPECT_EQ(SummaryPage{settings}.GetSummaryText(),
            "vornun.u98, vornun.u2k\r\nvornxxxx.inf\r\n\r\nvorn\r\nVorn Microsystems\r\n\r\n"
            "VB7350 USB to UART Bridge Controller\r\nVB7350 USB Composite Device\r\n\r\n"
            "3E7A\r\nB2C9\r\n\r\nYes\r\nYes\r\nYes\r\nC:\\Program Files\\Vornix\\MCU\\VB7350\r\n"
            "Yes\r\nNo\r\n\r\n/home/ann/pkg/");

  settings.generatePreinstaller = false;
  settings.showUninstallGui = false;
  EXPECT_EQ(SummaryPage{settings}.GetSummaryText(),
            "vornun.u98, vornun.u2k\r\nvornxxxx.inf\r\n\r\nvorn\r\nVorn Microsystems\r\n\r\n"
            "VB7350 USB to UART Bridge Controller\r\nVB7350 USB Composite Device\r\n\r\n"
            "3E7A\r\nB2C9\r\n\r\nNo\r\n-\r\n-\r\n-\r\n-\r\n-\r\n\r\n/home/ann/pkg/");
}

TEST(SummaryPage, FinishWritesThePackageAndSaysSo) {
  TempDir temp;
  PackageSettings settings;
  settings.outputDirectory = temp.Dir();
  ScriptedMessageBox box;
  EXPECT_TRUE(SummaryPage{settings}.OnFinish(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{testsupport::RunSucceeded(temp.Dir())});
  EXPECT_EQ(testsupport::FileNames(temp.Path()).size(), 20u);
}

TEST(SummaryPage, AFailedFinishShowsBothMessagesInOrderAndCanBeRepeated) {
  TempDir temp;
  wizardtest::MakeUnwritable(temp.Path() / "vornw2k.inf");
  PackageSettings settings;
  settings.outputDirectory = temp.Dir();
  const SummaryPage page{settings};
  ScriptedMessageBox box;
  EXPECT_FALSE(page.OnFinish(box));
  ASSERT_EQ(box.messages.size(), 2u);
  // Root writes read-only files, so the helper may have put a folder there instead.
  const std::string detail = box.messages[0].detail;
  EXPECT_TRUE(detail == temp.Dir() + "vornw2k.inf: Permission denied" ||
              detail == temp.Dir() + "vornw2k.inf: Is a directory")
      << detail;
  EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{testsupport::OpenFailure(detail),
                                                        testsupport::RunFailed()}));

  // The user clears the cause and presses Finish again on the same page.
  fs::remove_all(temp.Path() / "vornw2k.inf");
  box.Clear();
  EXPECT_TRUE(page.OnFinish(box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{testsupport::RunSucceeded(temp.Dir())});
}

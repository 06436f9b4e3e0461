// The Qt wizard on the offscreen platform: one walk through all seven pages as a user
// would make it, the package it writes against what --batch writes for the same values,
// a failing Finish, and the ways out without writing anything.
#include "wizard/WizardRunner.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ScriptedMessageBox.h"
#include "support/QtTestApp.h"
#include "wizard/DeviceNamesDlg.h"
#include "wizard/NamesDlg.h"
#include "wizard/OptionsDlg.h"
#include "wizard/OutputDirDlg.h"
#include "wizard/SummaryDlg.h"
#include "wizard/VidPidDlg.h"
#include "wizard/WelcomeDlg.h"

namespace fs = std::filesystem;
using testsupport::TempDir;
using wizardtest::RecordedMessage;
using wizardtest::ScriptedMessageBox;

namespace {

// The application for every widget test of this program, named as the wizard names it.
class WizardApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    qttest::App();
    QApplication::setApplicationName(QStringLiteral("VB7350CustomInstall"));
  }
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new WizardApplication);

class ScriptedFolderBrowser : public IFolderBrowser {
 public:
  std::string BrowseForFolder() override { return picks.empty() ? "_NoDirSelected_" : picks; }
  std::string picks;
};

// Replaces an edit box's text the way a user does: select all, then type.
void TypeInto(QLineEdit* edit, const QString& text) {
  edit->setFocus();
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

void Click(QPushButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

template <class Page>
Page* Current(const WizardRunner& runner) {
  return qobject_cast<Page*>(runner.CurrentPage());
}

// Runs the program with --batch and the given options; its exit code, or -1.
int RunBatchProgram(const std::vector<std::string>& options) {
  std::vector<std::string> args = {VB7350_CUSTOMINSTALL_EXE, "--batch"};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    return -1;
  }
  // Bounded wait: the batch run takes well under a second.
  for (int tries = 0; tries < 600; ++tries) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::usleep(100 * 1000);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, nullptr, 0);
  return -1;
}

void ExpectSameFiles(const fs::path& wizardDir, const fs::path& batchDir) {
  const std::vector<std::string> names = testsupport::FileNames(wizardDir);
  EXPECT_EQ(names, testsupport::FileNames(batchDir));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(testsupport::ReadFile(wizardDir / name), testsupport::ReadFile(batchDir / name));
  }
}

}  // namespace

TEST(WizardWalk, AllSevenPagesThenFinishWritesWhatBatchWrites) {
  TempDir home;
  TempDir batchOut;
  ScriptedMessageBox box;
  ScriptedFolderBrowser browser;
  WizardRunner runner(box, browser, home.Path().string());
  QSignalSpy finished(&runner, &WizardRunner::Finished);
  runner.Start();

  // 1. Welcome.
  auto* welcome = Current<WelcomeDlg>(runner);
  ASSERT_NE(welcome, nullptr);
  EXPECT_EQ(welcome->windowTitle(), QStringLiteral("VB7350 Custom Setup"));
  EXPECT_FALSE(welcome->BackButton()->isVisible());
  Click(welcome->NextButton());

  // 2. Names: a blank first, then the values; the edit limits cut what is too long.
  auto* names = Current<NamesDlg>(runner);
  ASSERT_NE(names, nullptr);
  EXPECT_FALSE(names->BackButton()->isVisible());
  EXPECT_EQ(names->UninstallFileNameEdit()->text(), QStringLiteral("vornun"));
  EXPECT_EQ(names->focusWidget(), names->UninstallFileNameEdit());
  TypeInto(names->InfPrefixEdit(), QString());
  Click(names->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::BlanksMessage()});
  ASSERT_EQ(runner.CurrentPage(), names);
  box.Clear();
  TypeInto(names->UninstallFileNameEdit(), QStringLiteral("acmeuninstall"));
  EXPECT_EQ(names->UninstallFileNameEdit()->text(), QStringLiteral("acmeunin"));
  TypeInto(names->InfPrefixEdit(), QStringLiteral("acm"));
  TypeInto(names->ShortNameEdit(), QStringLiteral("acme"));
  // A name that breaks the package is refused on its page, before anything is written.
  TypeInto(names->InfPrefixEdit(), QStringLiteral("a;c"));
  Click(names->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::FileNameMessage("';'")});
  ASSERT_EQ(runner.CurrentPage(), names);
  box.Clear();
  TypeInto(names->UninstallFileNameEdit(), QStringLiteral("my/un"));
  TypeInto(names->InfPrefixEdit(), QStringLiteral("acm"));
  Click(names->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::FileNameMessage("'/'")});
  box.Clear();
  TypeInto(names->UninstallFileNameEdit(), QStringLiteral("acmeuninstall"));
  TypeInto(names->LongNameEdit(), QStringLiteral("Acme \"Quoted\" 100% Devices, Inc."));
  Click(names->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::QuoteMessage()});
  ASSERT_EQ(runner.CurrentPage(), names);
  box.Clear();
  EXPECT_TRUE(testsupport::FileNames(home.Path()).empty());
  TypeInto(names->LongNameEdit(), QStringLiteral("Acme 100% Devices, Inc."));
  Click(names->NextButton());

  // 3. Device names, then Back and forward again: the typed values come back.
  auto* devices = Current<DeviceNamesDlg>(runner);
  ASSERT_NE(devices, nullptr);
  TypeInto(devices->ComDeviceNameEdit(), QStringLiteral("Acme Serial Port"));
  TypeInto(devices->UsbDeviceNameEdit(), QStringLiteral("Acme USB Hub"));
  Click(devices->BackButton());
  names = Current<NamesDlg>(runner);
  ASSERT_NE(names, nullptr);
  EXPECT_EQ(names->InfPrefixEdit()->text(), QStringLiteral("acm"));
  Click(names->NextButton());
  devices = Current<DeviceNamesDlg>(runner);
  ASSERT_NE(devices, nullptr);
  EXPECT_EQ(devices->ComDeviceNameEdit()->text(), QStringLiteral("Acme Serial Port"));
  EXPECT_EQ(devices->UsbDeviceNameEdit()->text(), QStringLiteral("Acme USB Hub"));
  // Enter in an edit box presses the default button, Next.
  QTest::keyClick(devices->UsbDeviceNameEdit(), Qt::Key_Return);

  // 4. VID/PID: letters turn into capitals as they are typed; a bad digit is refused.
  auto* vidPid = Current<VidPidDlg>(runner);
  ASSERT_NE(vidPid, nullptr);
  TypeInto(vidPid->VidEdit(), QStringLiteral("3e7g"));
  EXPECT_EQ(vidPid->VidEdit()->text(), QStringLiteral("3E7G"));
  Click(vidPid->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::HexMessage()});
  box.Clear();
  TypeInto(vidPid->VidEdit(), QStringLiteral("a1b"));
  TypeInto(vidPid->PidEdit(), QStringLiteral("c2"));
  EXPECT_EQ(vidPid->VidEdit()->text(), QStringLiteral("A1B"));
  // Short IDs are kept, with a note that names the four digits Windows reports.
  EXPECT_EQ(vidPid->findChild<QLabel*>(QStringLiteral("shortIdNote"))->text(),
            QStringLiteral("Note: Windows reports USB IDs with four digits, so A1B matches no "
                           "device; type 0A1B.\nWindows reports USB IDs with four digits, so C2 "
                           "matches no device; type 00C2."));
  Click(vidPid->NextButton());

  // 5. Options: the preinstaller rule, a help text, a bad target directory.
  auto* options = Current<OptionsDlg>(runner);
  ASSERT_NE(options, nullptr);
  EXPECT_TRUE(options->GeneratePreinstallerCheck()->isChecked());
  EXPECT_EQ(options->CodePageList()->currentText(), QStringLiteral("ASCII only"));
  EXPECT_EQ(options->CodePageList()->count(), 15);
  TypeInto(options->TargetDirectoryEdit(), QStringLiteral("D:\\Acme"));
  options->ShowSetupGuiCheck()->click();
  options->GeneratePreinstallerCheck()->click();
  EXPECT_FALSE(options->TargetDirectoryEdit()->isVisible());
  EXPECT_FALSE(options->ShowSetupGuiCheck()->isVisible());
  EXPECT_TRUE(options->ShowUninstallGuiCheck()->isVisible());
  options->GeneratePreinstallerCheck()->click();
  EXPECT_TRUE(options->TargetDirectoryEdit()->isVisible());
  EXPECT_EQ(options->TargetDirectoryEdit()->text(),
            QStringLiteral("C:\\Program Files\\Vornix\\MCU\\VB7350"));
  EXPECT_TRUE(options->ShowSetupGuiCheck()->isChecked());
  options->ShowSetupGuiCheck()->click();
  Click(options->findChild<QPushButton*>(QStringLiteral("button1028")));
  ASSERT_EQ(box.messages.size(), 1u);
  EXPECT_EQ(box.messages[0].text.substr(0, 38), "Copy Files to Directory during Setup:\n");
  box.Clear();
  TypeInto(options->TargetDirectoryEdit(), QStringLiteral("C:Acme"));
  Click(options->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::TargetDirectoryMessage()});
  box.Clear();
  TypeInto(options->TargetDirectoryEdit(), QStringLiteral("D:\\Acme Drivers"));
  options->CopyFilesCheck()->click();
  options->ShowUninstallGuiCheck()->click();
  Click(options->NextButton());

  // 6. Output folder: starts at the default under home; a browse that is cancelled keeps
  //    the box; a missing folder is declined once, then created.
  auto* outputDir = Current<OutputDirDlg>(runner);
  ASSERT_NE(outputDir, nullptr);
  EXPECT_EQ(outputDir->OutputDirectoryEdit()->text().toStdString(),
            home.Dir() + "Vornix/MCU/VB7350/VB7350SetupFiles/");
  const std::string wizardOut = home.Dir() + "out/acme/package";
  browser.picks = wizardOut;
  Click(outputDir->BrowseButton());
  EXPECT_EQ(outputDir->OutputDirectoryEdit()->text().toStdString(), wizardOut);
  browser.picks.clear();
  Click(outputDir->BrowseButton());
  EXPECT_EQ(outputDir->OutputDirectoryEdit()->text().toStdString(), wizardOut);
  box.answers = {MessageResult::No};
  Click(outputDir->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::CreateQuestion()});
  EXPECT_FALSE(fs::exists(home.Path() / "out"));
  ASSERT_EQ(runner.CurrentPage(), outputDir);
  box.Clear();
  box.answers = {MessageResult::Yes};
  Click(outputDir->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{wizardtest::CreateQuestion()});
  EXPECT_TRUE(fs::is_directory(wizardOut));
  box.Clear();

  // 7. Summary, then Finish.
  auto* summary = Current<SummaryDlg>(runner);
  ASSERT_NE(summary, nullptr);
  EXPECT_EQ(summary->NextButton()->text(), QStringLiteral("&Finish"));
  EXPECT_TRUE(summary->SummaryEdit()->isReadOnly());
  EXPECT_EQ(summary->SummaryEdit()->toPlainText().toStdString(),
            "acmeunin.u98, acmeunin.u2k\nacmxxxx.inf\n\nacme\nAcme 100% Devices, "
            "Inc.\n\nAcme Serial Port\nAcme USB Hub\n\nA1B\nC2\n\nYes\nNo\nNo\nD:\\Acme "
            "Drivers\nNo\nNo\n\n" +
                wizardOut + "/");
  Click(summary->NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{testsupport::RunSucceeded(wizardOut + "/")});
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(runner.CurrentPage(), nullptr);

  // The same values through --batch give the same package, byte for byte.
  ASSERT_EQ(RunBatchProgram({"--output",
                             batchOut.Path().string(),
                             "--uninstall-file-name",
                             "acmeunin",
                             "--inf-prefix",
                             "acm",
                             "--short-name",
                             "acme",
                             "--long-name",
                             "Acme 100% Devices, Inc.",
                             "--com-device-name",
                             "Acme Serial Port",
                             "--usb-device-name",
                             "Acme USB Hub",
                             "--vid",
                             "A1B",
                             "--pid",
                             "C2",
                             "--target-directory",
                             "D:\\Acme Drivers",
                             "--no-setup-gui",
                             "--no-copy-files",
                             "--no-uninstall-gui"}),
            0);
  EXPECT_EQ(testsupport::FileNames(wizardOut).size(), 20u);
  ExpectSameFiles(wizardOut, batchOut.Path());
}

TEST(WizardWalk, WithoutThePreinstallerTheDefaultsMatchBatchToo) {
  TempDir out;
  TempDir batchOut;
  ScriptedMessageBox box;
  ScriptedFolderBrowser browser;
  WizardRunner runner(box, browser, out.Path().string());
  runner.Start();
  for (int page = 0; page < 4; ++page) {
    ASSERT_NE(runner.CurrentPage(), nullptr);
    Click(runner.CurrentPage()->NextButton());
  }
  auto* options = Current<OptionsDlg>(runner);
  ASSERT_NE(options, nullptr);
  options->GeneratePreinstallerCheck()->click();
  Click(options->NextButton());
  auto* outputDir = Current<OutputDirDlg>(runner);
  ASSERT_NE(outputDir, nullptr);
  TypeInto(outputDir->OutputDirectoryEdit(), QString::fromStdString(out.Path().string()));
  Click(outputDir->NextButton());
  ASSERT_NE(Current<SummaryDlg>(runner), nullptr);
  Click(runner.CurrentPage()->NextButton());
  EXPECT_EQ(box.messages,
            std::vector<RecordedMessage>{testsupport::RunSucceeded(out.Path().string() + "/")});

  ASSERT_EQ(RunBatchProgram({"--output", batchOut.Path().string(), "--no-preinstaller"}), 0);
  EXPECT_EQ(testsupport::FileNames(out.Path()).size(), 19u);
  ExpectSameFiles(out.Path(), batchOut.Path());
}

TEST(WizardSummary, AFailingFinishShowsBothMessagesAndKeepsThePageOpen) {
  TempDir out;
  wizardtest::MakeUnwritable(out.Path() / "vornw2k.inf");
  PackageSettings settings;
  settings.outputDirectory = out.Dir();
  ScriptedMessageBox box;
  SummaryDlg summary(box, settings);
  summary.show();
  Click(summary.NextButton());
  ASSERT_EQ(box.messages.size(), 2u);
  EXPECT_TRUE(box.messages[0].detail.starts_with(out.Dir() + "vornw2k.inf: "))
      << box.messages[0].detail;
  EXPECT_EQ(box.messages,
            (std::vector<RecordedMessage>{testsupport::OpenFailure(box.messages[0].detail),
                                          testsupport::RunFailed()}));
  EXPECT_TRUE(summary.isVisible());
  EXPECT_TRUE(fs::exists(out.Path() / "vornbus.inf"));
  EXPECT_TRUE(fs::exists(out.Path() / "vornvxd.inf"));
  EXPECT_FALSE(fs::exists(out.Path() / "vornwdm.inf"));

  // With the cause gone, Finish on the same page succeeds and ends it.
  fs::remove_all(out.Path() / "vornw2k.inf");
  box.Clear();
  Click(summary.NextButton());
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{testsupport::RunSucceeded(out.Dir())});
  EXPECT_FALSE(summary.isVisible());
  EXPECT_EQ(summary.Exit(), PageExit::Close);
}

TEST(WizardWalk, CancelEscAndTheCloseBoxEndWithoutWriting) {
  enum class Way { Cancel, Escape, CloseBox };
  for (const Way way : {Way::Cancel, Way::Escape, Way::CloseBox}) {
    SCOPED_TRACE(static_cast<int>(way));
    TempDir home;
    ScriptedMessageBox box;
    ScriptedFolderBrowser browser;
    WizardRunner runner(box, browser, home.Path().string());
    QSignalSpy finished(&runner, &WizardRunner::Finished);
    runner.Start();
    for (int page = 0; page < 5; ++page) {
      Click(runner.CurrentPage()->NextButton());
    }
    WizardPageDlg* outputDir = Current<OutputDirDlg>(runner);
    ASSERT_NE(outputDir, nullptr);
    switch (way) {
      case Way::Cancel:
        Click(outputDir->CancelButton());
        break;
      case Way::Escape:
        QTest::keyClick(outputDir, Qt::Key_Escape);
        break;
      case Way::CloseBox:
        outputDir->close();
        break;
    }
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(runner.CurrentPage(), nullptr);
    EXPECT_TRUE(box.messages.empty());
    EXPECT_TRUE(testsupport::FileNames(home.Path()).empty());
  }
}

// The wizard's one window: every page in it at the same place and size, the buttons'
// mnemonics, the placeholder notice on the welcome and summary pages, and a summary
// whose lines all show whole.
#include "wizard/WizardRunner.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <string>

#include <gtest/gtest.h>

#include "ScriptedMessageBox.h"
#include "wizard/SummaryDlg.h"

using testsupport::TempDir;
using wizardtest::ScriptedMessageBox;

namespace {

// The QApplication comes from the environment that WizardWalkTest.cpp registers.

class NoFolderBrowser : public IFolderBrowser {
 public:
  std::string BrowseForFolder() override { return "_NoDirSelected_"; }
};

// Lets events run until the wizard shows page (at most 2 s).
bool WaitForPage(const WizardRunner& runner, PageId page) {
  for (int i = 0; i < 200 && runner.CurrentPageId() != page; ++i) {
    QTest::qWait(10);
  }
  return runner.CurrentPageId() == page;
}

constexpr const char* kNotice = "This build holds placeholder payloads.";

}  // namespace

TEST(WizardWindow, EveryPageShowsInTheOneWindowWhichKeepsItsPlaceAndSize) {
  TempDir home;
  ScriptedMessageBox box;
  NoFolderBrowser browser;
  WizardRunner runner(box, browser, home.Path().string(), kNotice);
  runner.Start();
  WizardWindow* window = runner.Window();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isWindow());
  EXPECT_EQ(window->windowTitle(), QStringLiteral("VB7350 Custom Setup"));
  window->move(123, 87);  // the user moves it
  const QRect frame = window->geometry();

  // Forward through every page, back one, forward again: always the same window.
  for (int step = 0; step < 7; ++step) {
    SCOPED_TRACE(step);
    WizardPageDlg* page = runner.CurrentPage();
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(page->isWindow());
    EXPECT_EQ(page->window(), window);
    EXPECT_TRUE(page->isVisible());
    EXPECT_EQ(page->pos(), QPoint(0, 0));
    EXPECT_EQ(window->geometry(), frame);
    EXPECT_TRUE(window->isVisible());
    // The notice shows on the welcome and summary pages only.
    const bool noticePage =
        runner.CurrentPageId() == PageId::Welcome || runner.CurrentPageId() == PageId::Summary;
    ASSERT_NE(window->Notice(), nullptr);
    EXPECT_EQ(window->Notice()->isVisible(), noticePage);
    EXPECT_EQ(window->Notice()->text(), QString::fromLatin1(kNotice));
    if (runner.CurrentPageId() == PageId::Summary) {
      break;
    }
    if (step == 3) {
      QTest::mouseClick(page->BackButton(), Qt::LeftButton);
      ASSERT_EQ(runner.CurrentPageId(), PageId::DeviceNames);
      EXPECT_EQ(window->geometry(), frame);
    }
    QTest::mouseClick(runner.CurrentPage()->NextButton(), Qt::LeftButton);
  }
  EXPECT_EQ(runner.CurrentPageId(), PageId::Summary);

  // The close box of the window ends the wizard like Cancel; no package is written.
  window->close();
  EXPECT_EQ(runner.CurrentPage(), nullptr);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(box.messages, std::vector<wizardtest::RecordedMessage>{wizardtest::CreateQuestion()});
  EXPECT_TRUE(testsupport::FileNames(home.Dir() + "Vornix/MCU/VB7350/VB7350SetupFiles").empty());
}

TEST(WizardWindow, ABuildWithRealPayloadsShowsNoNotice) {
  TempDir home;
  ScriptedMessageBox box;
  NoFolderBrowser browser;
  WizardRunner runner(box, browser, home.Path().string(), "");
  runner.Start();
  EXPECT_EQ(runner.Window()->Notice(), nullptr);
  const WizardPageDlg* page = runner.CurrentPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(runner.Window()->size(), page->size());
}

TEST(WizardWindow, BottomButtonsHaveMnemonics) {
  TempDir home;
  ScriptedMessageBox box;
  NoFolderBrowser browser;
  WizardRunner runner(box, browser, home.Path().string());
  runner.Start();
  runner.Window()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(runner.Window(), 2000));
  QTest::mouseClick(runner.CurrentPage()->NextButton(), Qt::LeftButton);
  WizardPageDlg* names = runner.CurrentPage();
  EXPECT_EQ(names->CancelButton()->text(), QStringLiteral("&Cancel"));
  EXPECT_EQ(names->NextButton()->text(), QStringLiteral("&Next >"));
  EXPECT_EQ(names->BackButton()->text(), QStringLiteral("< &Back"));
  // Alt+N moves on from anywhere on the page.
  // A mnemonic clicks its button the way a mouse would, with the short press animation.
  QTest::keyClick(names->focusWidget(), Qt::Key_N, Qt::AltModifier);
  EXPECT_TRUE(WaitForPage(runner, PageId::DeviceNames));
  QTest::keyClick(runner.CurrentPage()->focusWidget(), Qt::Key_B, Qt::AltModifier);
  EXPECT_TRUE(WaitForPage(runner, PageId::Names));
}

TEST(WizardSummaryPage, TheDefaultsShowWithoutAScrollBar) {
  PackageSettings settings;
  settings.outputDirectory = "/home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/";
  ScriptedMessageBox box;
  SummaryDlg summary(box, settings);
  summary.show();
  QApplication::processEvents();
  EXPECT_FALSE(summary.SummaryEdit()->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(summary.SummaryEdit()->verticalScrollBar()->isVisible());
}

TEST(WizardSummaryPage, LongLinesWrapAndKeepTheirLabelsBesideThem) {
  PackageSettings settings;
  // A deep folder and a long name would run far past the box's right edge unwrapped.
  settings.outputDirectory =
      "/home/a-rather-long-user-name/projects/customer-packages/2026/vb7350/Vornix/MCU/VB7350/"
      "VB7350SetupFiles/";
  settings.longName = "Vorn Microsystems International Semiconductor Products Division";
  ScriptedMessageBox box;
  SummaryDlg summary(box, settings);
  summary.show();
  QApplication::processEvents();
  QPlainTextEdit* edit = summary.SummaryEdit();
  EXPECT_FALSE(edit->horizontalScrollBar()->isVisible());
  EXPECT_TRUE(edit->toPlainText().toStdString().ends_with("\n" + settings.outputDirectory));

  // Each label starts on the line where its value starts.
  const QStringList labels = summary.LabelsText()->text().split(QLatin1Char('\n'));
  int line = 0;
  int wrapped = 0;
  for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
    ASSERT_LT(line, labels.size());
    if (block.blockNumber() == 4) {
      EXPECT_EQ(labels[line], QStringLiteral("* Long Name:"));
    }
    if (block.blockNumber() == 19) {
      EXPECT_EQ(labels[line], QStringLiteral("*Generation Directory:"));
    }
    const int lines = block.layout()->lineCount();
    wrapped += lines > 1 ? 1 : 0;
    line += lines;
  }
  EXPECT_GE(wrapped, 2);  // the two long values did wrap
}

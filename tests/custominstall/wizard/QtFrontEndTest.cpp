// The on-screen message box and folder chooser, driven offscreen: what the user sees
// (caption, icon, buttons, owner, title) and what each answer gives back.
#include "wizard/QtMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

#include "ScriptedMessageBox.h"
#include "wizard/FolderBrowser.h"
#include "wizard/NamesDlg.h"

namespace {

// Calls act with the modal dialog once one is open (bounded: gives up after 200 tries).
void WhenModalOpens(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
    QWidget* modal = QApplication::activeModalWidget();
    const bool isBox = qobject_cast<QMessageBox*>(modal) != nullptr ||
                       qobject_cast<QFileDialog*>(modal) != nullptr;
    if (isBox || ++*tries > 200) {
      timer->stop();
      timer->deleteLater();
      if (isBox) {
        act(modal);
      }
    }
  });
  timer->start(5);
}

struct SeenBox {
  QString title;
  QString text;
  QString detail;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
  QWidget* owner = nullptr;
  bool detailOnOneLine = false;
};

// Whether the box's detail line fits its label unbroken.
bool DetailOnOneLine(const QMessageBox& box) {
  const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
  return label != nullptr &&
         label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(label->text());
}

// Shows one message through QtMessageBox, answering with the given button.
MessageResult ShowAndAnswer(IMessageBox& box, std::string_view caption, MessageIcon icon,
                            MessageButtons buttons, bool owned, QMessageBox::StandardButton answer,
                            SeenBox& seen, std::string_view detail = {}) {
  WhenModalOpens([&seen, answer](QWidget* modal) {
    auto* shown = qobject_cast<QMessageBox*>(modal);
    seen = {
        shown->windowTitle(),     shown->text(),         shown->informativeText(), shown->icon(),
        shown->standardButtons(), shown->parentWidget(), DetailOnOneLine(*shown)};
    shown->button(answer)->click();
  });
  return box.Show("Some text", caption, icon, buttons, owned, detail);
}

}  // namespace

TEST(QtMessageBox, ShowsCaptionIconButtonsAndOwnerAsAsked) {
  QtMessageBox box;
  wizardtest::ScriptedMessageBox quiet;
  NamesDlg page(quiet, PackageSettings{});
  page.setWindowModality(Qt::ApplicationModal);
  page.show();

  SeenBox seen;
  EXPECT_EQ(ShowAndAnswer(box, "VB7350CustomInstall", MessageIcon::Question, MessageButtons::YesNo,
                          true, QMessageBox::No, seen),
            MessageResult::No);
  // Every box carries the wizard's caption, whatever caption the message names.
  EXPECT_EQ(seen.title, QStringLiteral("VB7350 Custom Setup"));
  EXPECT_EQ(seen.text, QStringLiteral("Some text"));
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(seen.owner, &page);
  EXPECT_EQ(seen.detail, QString());

  EXPECT_EQ(ShowAndAnswer(box, "VB7350CustomInstall", MessageIcon::Question, MessageButtons::YesNo,
                          true, QMessageBox::Yes, seen),
            MessageResult::Yes);

  // A folder under a short message stays on one line, not broken at a '/'.
  const std::string folder = "Folder: /home/ann/Vornix/MCU/VB7350/VB7350SetupFiles/";
  ShowAndAnswer(box, "", MessageIcon::None, MessageButtons::Ok, true, QMessageBox::Ok, seen,
                folder);
  EXPECT_EQ(seen.detail, QString::fromStdString(folder));
  EXPECT_TRUE(seen.detailOnOneLine);

  // A writer's box: no owner, no caption given, the stop icon.
  EXPECT_EQ(ShowAndAnswer(box, "", MessageIcon::Stop, MessageButtons::Ok, false, QMessageBox::Ok,
                          seen, "/pkg/vornbus.inf: Permission denied"),
            MessageResult::Ok);
  EXPECT_EQ(seen.title, QStringLiteral("VB7350 Custom Setup"));
  EXPECT_EQ(seen.text, QStringLiteral("Some text"));  // the design's text first...
  EXPECT_EQ(seen.detail,
            QStringLiteral("/pkg/vornbus.inf: Permission denied"));  // ...the cause under it
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
  EXPECT_EQ(seen.owner, nullptr);

  ShowAndAnswer(box, "VB7350CustomInstall", MessageIcon::Exclamation, MessageButtons::Ok, true,
                QMessageBox::Ok, seen);
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  ShowAndAnswer(box, "VB7350CustomInstall", MessageIcon::None, MessageButtons::Ok, true,
                QMessageBox::Ok, seen);
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

TEST(QtFolderBrowser, IsTitledAsTheDesignSaysAndACancelGivesTheMarker) {
  QString title;
  bool directoriesOnly = false;
  WhenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    title = dialog->windowTitle();
    directoriesOnly = dialog->fileMode() == QFileDialog::Directory;
    dialog->reject();
  });
  QtFolderBrowser browser;
  EXPECT_EQ(browser.BrowseForFolder(), "_NoDirSelected_");
  EXPECT_EQ(title, QStringLiteral("Select a Folder to Generate Your Setup Files In:"));
  EXPECT_TRUE(directoriesOnly);
}

TEST(QtFolderBrowser, APickedFolderComesBackWithoutTrailingSeparator) {
  testsupport::TempDir temp;
  WhenModalOpens([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    dialog->selectFile(QString::fromStdString(temp.Path().string()));
    static_cast<QDialog*>(dialog)->accept();
  });
  QtFolderBrowser browser;
  EXPECT_EQ(browser.BrowseForFolder(), temp.Path().string());
}

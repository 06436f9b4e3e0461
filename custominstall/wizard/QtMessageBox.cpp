// The wizard's message boxes on screen.
#include "wizard/QtMessageBox.h"

#include "wizard/WizardPageDlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QString>

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None:
      return QMessageBox::NoIcon;
    case MessageIcon::Stop:
      return QMessageBox::Critical;
    case MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case MessageIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QString FromBytes(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// A short message would make a box too narrow for its caption, which the
/// window manager then cuts: keep room for the caption and the title buttons.
/// Called last, as the box lays itself out again when its texts change.
void KeepCaptionWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  const int width = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle()) * 3 / 2 + 120;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

MessageResult CQtMessageBox::Show(std::string_view text, std::string_view /*caption*/,
                                  MessageIcon icon, MessageButtons buttons, bool ownedByPage,
                                  std::string_view detail) {
  QWidget* owner = ownedByPage ? QApplication::activeModalWidget() : nullptr;
  // Every box on screen carries the wizard's own caption.
  const QString title = CWizardPageDlg::ToQString(CWizardPageDlg::kCaption);
  QMessageBox box(ToQtIcon(icon), title, FromBytes(text), QMessageBox::NoButton, owner);
  // The cause (path and reason) under the design's text, shown at once.
  if (!detail.empty()) {
    box.setInformativeText(FromBytes(detail));
  }
  if (buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    KeepCaptionWhole(box);
    return box.exec() == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  KeepCaptionWhole(box);
  box.exec();
  return MessageResult::Ok;
}

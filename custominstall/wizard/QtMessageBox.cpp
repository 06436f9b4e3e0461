// The wizard's message boxes on screen.
#include "wizard/QtMessageBox.h"

#include "wizard/WizardPageDlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QString>
#include <QStringList>

#include <algorithm>

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

/// Room beside a line of the box's text for its icon and margins, in pixels.
constexpr int kIconAndMargins = 110;

/// A short message would make a box too narrow for its caption, which the
/// window manager then cuts, and would break the path of its detail line across
/// lines: keep room for the caption and the title buttons, and for the detail's
/// longest line (up to most of the screen's width).
/// Called last, as the box lays itself out again when its texts change.
void KeepCaptionAndDetailWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  const QFontMetrics metrics(box.font());
  int width = metrics.horizontalAdvance(box.windowTitle()) * 3 / 2 + 120;
  const QStringList lines = box.informativeText().split(QLatin1Char('\n'));
  for (const QString& line : lines) {
    width = std::max(width, metrics.horizontalAdvance(line) + kIconAndMargins);
  }
  if (const QScreen* screen = box.screen()) {
    width = std::min(width, screen->availableGeometry().width() * 3 / 4);
  }
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

MessageResult QtMessageBox::Show(std::string_view text, std::string_view /*caption*/,
                                 MessageIcon icon, MessageButtons buttons, bool ownedByPage,
                                 std::string_view detail) {
  QWidget* owner = ownedByPage ? QApplication::activeModalWidget() : nullptr;
  // Every box on screen carries the wizard's own caption.
  const QString title = WizardPageDlg::ToQString(WizardPageDlg::kCaption);
  QMessageBox box(ToQtIcon(icon), title, FromBytes(text), QMessageBox::NoButton, owner);
  // The cause (path and reason) under the design's text, shown at once.
  if (!detail.empty()) {
    box.setInformativeText(FromBytes(detail));
  }
  if (buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    KeepCaptionAndDetailWhole(box);
    return box.exec() == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  KeepCaptionAndDetailWhole(box);
  box.exec();
  return MessageResult::Ok;
}

// The wizard's message boxes on screen.
#include "wizard/QtMessageBox.h"

#include <QApplication>
#include <QMessageBox>
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

}  // namespace

MessageResult CQtMessageBox::Show(std::string_view text, std::string_view caption, MessageIcon icon,
                                  MessageButtons buttons, bool ownedByPage,
                                  std::string_view detail) {
  QWidget* owner = ownedByPage ? QApplication::activeModalWidget() : nullptr;
  const QString title = caption.empty() ? QStringLiteral("Error") : FromBytes(caption);
  QMessageBox box(ToQtIcon(icon), title, FromBytes(text), QMessageBox::NoButton, owner);
  // The cause (path and reason) under the design's text, shown at once.
  if (!detail.empty()) {
    box.setInformativeText(FromBytes(detail));
  }
  if (buttons == MessageButtons::YesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? MessageResult::Yes : MessageResult::No;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return MessageResult::Ok;
}

// Dialog-unit geometry for the wizard pages.
#include "wizard/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

CDialogUnits::CDialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width is taken over the alphabet, rounded, as dialog templates expect.
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  m_nBaseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
  m_nBaseY = metrics.height();
  if (m_nBaseX < 1) m_nBaseX = 1;
  if (m_nBaseY < 1) m_nBaseY = 1;
}

int CDialogUnits::X(int units) const {
  return (units * m_nBaseX + 2) / 4;
}

int CDialogUnits::Y(int units) const {
  return (units * m_nBaseY + 4) / 8;
}

QRect CDialogUnits::Rect(int x, int y, int width, int height) const {
  return QRect(X(x), Y(y), X(width), Y(height));
}

QSize CDialogUnits::Size(int width, int height) const {
  return QSize(X(width), Y(height));
}

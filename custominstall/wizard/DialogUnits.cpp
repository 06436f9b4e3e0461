// Dialog-unit geometry for the wizard pages.
#include "wizard/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  // The average width is taken over the alphabet, rounded, as dialog templates expect.
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  m_baseX = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
  m_baseY = metrics.height();
  if (m_baseX < 1) m_baseX = 1;
  if (m_baseY < 1) m_baseY = 1;
}

int DialogUnits::X(int units) const {
  return (units * m_baseX + 2) / 4;
}

int DialogUnits::Y(int units) const {
  return (units * m_baseY + 4) / 8;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::Size(int width, int height) const {
  return QSize(X(width), Y(height));
}

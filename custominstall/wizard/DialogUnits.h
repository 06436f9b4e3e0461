// Dialog-unit geometry: the pages are laid out in dialog units, which scale with the font
// (a horizontal unit is a quarter of the average character width, a vertical unit an
// eighth of the character height), so the proportions hold at any font size.
#pragma once

#include <QRect>
#include <QSize>

class QFont;

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  QRect Rect(int x, int y, int width, int height) const;
  QSize Size(int width, int height) const;
  int X(int units) const;
  int Y(int units) const;

 private:
  int m_baseX;  // average character width in pixels
  int m_baseY;  // character height in pixels
};

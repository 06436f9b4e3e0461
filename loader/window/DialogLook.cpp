// Dialog fonts and dialog-unit arithmetic for the loader's windows.
#include "window/DialogLook.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>

#include <algorithm>

namespace {
constexpr int kDialogPointSize = 9;
// Room beside a line of a message box's text for its icon and margins, in pixels.
constexpr int kIconAndMargins = 110;
const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
}  // namespace

QFont DialogFont(const QStringList& preferred) {
  QStringList families;
  const QStringList installed = QFontDatabase::families();
  for (const QString& family : preferred)
    if (installed.contains(family, Qt::CaseInsensitive)) families << family;
  // Fall-backs that carry Hangul; Qt takes the first one that exists.
  families << QStringLiteral("NanumGothic") << QStringLiteral("NanumBarunGothic")
           << QStringLiteral("Noto Sans CJK KR");
  QFont font;
  font.setFamilies(families);
  font.setPointSize(kDialogPointSize);
  return font;
}

QSize DialogUnitsToPixels(const QFont& font, int w, int h) {
  const QFontMetrics metrics(font);
  const QString alphabet = QString::fromLatin1(kAlphabet);
  // Base units: the rounded average letter width and the line height.
  const int letters = static_cast<int>(alphabet.size());
  const int baseX = (metrics.horizontalAdvance(alphabet) + letters / 2) / letters;
  const int baseY = metrics.height();
  return {w * baseX / 4, h * baseY / 8};
}

void KeepDetailLinesWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr || box.informativeText().isEmpty()) return;
  const QFontMetrics metrics(box.font());
  int width = 0;
  for (const QString& line : box.informativeText().split(QLatin1Char('\n'))) {
    width = std::max(width, metrics.horizontalAdvance(line) + kIconAndMargins);
  }
  if (const QScreen* screen = box.screen()) {
    width = std::min(width, screen->availableGeometry().width() * 3 / 4);
  }
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

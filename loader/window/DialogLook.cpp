// Dialog fonts and dialog-unit arithmetic for the loader's windows.
#include "window/DialogLook.h"

#include <QFontDatabase>
#include <QFontMetrics>

namespace {
constexpr int kDialogPointSize = 9;
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

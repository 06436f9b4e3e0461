// Fonts and sizes shared by the loader's Qt dialogs: the 9-point Korean
// dialog fonts with installed fall-backs, and dialog units turned into pixels.
#pragma once

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

#include <string_view>

class QMessageBox;

/// A 9-point font from the first installed family of `preferred`, falling back
/// to the Korean fonts that ship with the system (Nanum), so Hangul renders.
QFont DialogFont(const QStringList& preferred);

/// The size in pixels of w x h dialog units set in `font` (a unit is a quarter
/// of the average character width across, an eighth of the line height down).
QSize DialogUnitsToPixels(const QFont& font, int w, int h);

/// Widens a message box so that each line of its detail text (a file's path)
/// fits unbroken, up to most of the screen's width: a short message would
/// otherwise break the path at a '/'. Called once the box's texts are set.
void KeepDetailLinesWhole(QMessageBox& box);

/// Qt text from the UTF-8 texts the core and the rule units keep.
inline QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The folder chooser of the ROM-location command: directories only, the
// current folder preselected, and the highlighted path shown as it changes.
#pragma once

#include <QFileDialog>

class QLabel;

/// A directory-only file dialog with a status line under the file view.
class RomFolderDialog : public QFileDialog {
  Q_OBJECT
 public:
  RomFolderDialog(QWidget* parent, const QString& title, const QString& preselected);

  /// The chosen folder after the dialog was accepted; empty otherwise.
  QString ChosenFolder() const;

  /// The status line's current text (the highlighted path).
  QString StatusText() const;

 private:
  void ShowStatus(const QString& path);

  QLabel* m_status = nullptr;
};

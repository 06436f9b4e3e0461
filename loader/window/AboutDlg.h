// The About box: the program's icon, name and version.
#pragma once

#include <QDialog>

/// Modal "Romvale 정보" box with one "확인" button.
class AboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit AboutDlg(QWidget* parent = nullptr);
};

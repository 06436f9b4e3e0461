// The help window opened by F1: how to use the loader, in a few pages.
#pragma once

#include <QDialog>

class QTextBrowser;

/// Non-modal help window showing the program's help text at its contents.
class HelpDlg : public QDialog {
  Q_OBJECT
 public:
  explicit HelpDlg(QWidget* parent = nullptr);

  /// The help text as shown (plain text), for checks.
  QString PlainText() const;

 private:
  QTextBrowser* m_browser = nullptr;
};

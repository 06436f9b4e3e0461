// The help window opened by F1: how to use the loader, in a few pages.
#pragma once

#include <QDialog>

class QTextBrowser;

/// Non-modal help window showing the program's help text at its contents.
class CHelpDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CHelpDlg(QWidget* pParent = nullptr);

  /// The help text as shown (plain text), for checks.
  QString PlainText() const;

 private:
  QTextBrowser* m_pBrowser = nullptr;
};

// Page 7: every setting at a glance, and Finish.
#pragma once

#include "wizard/OutputPages.h"
#include "wizard/WizardPageDlg.h"

class QPlainTextEdit;

class CSummaryDlg : public CWizardPageDlg {
  Q_OBJECT

public:
  CSummaryDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Page.Settings(); }

  QPlainTextEdit* SummaryEdit() const { return m_pSummary; }

protected:
  /// Finish: generates the package; the page ends only when every file was written.
  bool OnNext() override;
  void UpdateControls() override;

private:
  CSummaryPage m_Page;
  QPlainTextEdit* m_pSummary;  // 1025
};

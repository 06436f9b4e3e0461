// Page 7: every setting at a glance, and Finish.
#pragma once

#include "wizard/OutputPages.h"
#include "wizard/WizardPageDlg.h"

class QLabel;
class QPlainTextEdit;

class CSummaryDlg : public CWizardPageDlg {
  Q_OBJECT

 public:
  CSummaryDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Page.Settings(); }

  QPlainTextEdit* SummaryEdit() const { return m_pSummary; }
  QLabel* LabelsText() const { return m_pLabels; }

 protected:
  /// Finish: generates the package; the page ends only when every file was written.
  bool OnNext() override;
  void UpdateControls() override;
  void showEvent(QShowEvent* event) override;

 private:
  /// Gives each label as many lines as its value takes in the box.
  void AlignLabels();
  /// Lines the summary takes in the box at its present width.
  int VisualLineCount() const;

  CSummaryPage m_Page;
  QPlainTextEdit* m_pSummary;  // 1025
  QLabel* m_pLabels;
};

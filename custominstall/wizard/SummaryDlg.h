// Page 7: every setting at a glance, and Finish.
#pragma once

#include "wizard/OutputPages.h"
#include "wizard/WizardPageDlg.h"

class QLabel;
class QPlainTextEdit;

class SummaryDlg : public WizardPageDlg {
  Q_OBJECT

 public:
  SummaryDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_page.Settings(); }

  QPlainTextEdit* SummaryEdit() const { return m_summary; }
  QLabel* LabelsText() const { return m_labels; }

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

  SummaryPage m_page;
  QPlainTextEdit* m_summary;  // 1025
  QLabel* m_labels;
};

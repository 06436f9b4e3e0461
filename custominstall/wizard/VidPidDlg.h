// Page 4: the USB vendor and product IDs.
#pragma once

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class VidPidDlg : public WizardPageDlg {
  Q_OBJECT

 public:
  VidPidDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_page.Settings(); }

  QLineEdit* VidEdit() const { return m_vid; }
  QLineEdit* PidEdit() const { return m_pid; }

 protected:
  bool OnNext() override;
  void OnBack() override;
  void UpdateControls() override;

 private:
  void UpdateData();
  void ShowNote();

  VidPidPage m_page;
  QLineEdit* m_vid;  // 1008
  QLineEdit* m_pid;  // 1002
  QLabel* m_note;
};

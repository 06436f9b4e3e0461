// Page 4: the USB vendor and product IDs.
#pragma once

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class CVidPidDlg : public CWizardPageDlg {
  Q_OBJECT

 public:
  CVidPidDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Page.Settings(); }

  QLineEdit* VidEdit() const { return m_pVid; }
  QLineEdit* PidEdit() const { return m_pPid; }

 protected:
  bool OnNext() override;
  void OnBack() override;
  void UpdateControls() override;

 private:
  void UpdateData();
  void ShowNote();

  CVidPidPage m_Page;
  QLineEdit* m_pVid;  // 1008
  QLineEdit* m_pPid;  // 1002
  QLabel* m_note;
};

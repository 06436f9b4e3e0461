// Page 2: the uninstall file name, the INF prefix, the short and the long name.
#pragma once

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class CNamesDlg : public CWizardPageDlg {
  Q_OBJECT

 public:
  CNamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Page.Settings(); }

  QLineEdit* UninstallFileNameEdit() const { return m_pUninstallFileName; }
  QLineEdit* InfPrefixEdit() const { return m_pInfPrefix; }
  QLineEdit* ShortNameEdit() const { return m_pShortName; }
  QLineEdit* LongNameEdit() const { return m_pLongName; }

 protected:
  bool OnNext() override;
  void UpdateControls() override;

 private:
  void UpdateData();

  CNamesPage m_Page;
  QLineEdit* m_pUninstallFileName;  // 1001
  QLineEdit* m_pInfPrefix;          // 1005
  QLineEdit* m_pShortName;          // 1002
  QLineEdit* m_pLongName;           // 1003
};

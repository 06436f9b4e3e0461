// Page 2: the uninstall file name, the INF prefix, the short and the long name.
#pragma once

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class NamesDlg : public WizardPageDlg {
  Q_OBJECT

 public:
  NamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_page.Settings(); }

  QLineEdit* UninstallFileNameEdit() const { return m_uninstallFileName; }
  QLineEdit* InfPrefixEdit() const { return m_infPrefix; }
  QLineEdit* ShortNameEdit() const { return m_shortName; }
  QLineEdit* LongNameEdit() const { return m_longName; }

 protected:
  bool OnNext() override;
  void UpdateControls() override;

 private:
  void UpdateData();

  NamesPage m_page;
  QLineEdit* m_uninstallFileName;  // 1001
  QLineEdit* m_infPrefix;          // 1005
  QLineEdit* m_shortName;          // 1002
  QLineEdit* m_longName;           // 1003
};

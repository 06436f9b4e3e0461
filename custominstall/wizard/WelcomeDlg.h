// Page 1: welcome and the certification warning.
#pragma once

#include <string>

#include "wizard/WizardPageDlg.h"

class CWelcomeDlg : public CWizardPageDlg {
  Q_OBJECT

 public:
  /// homeDir is where the default output folder goes.
  CWelcomeDlg(IMessageBox& box, std::string homeDir, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Settings; }

 protected:
  bool OnNext() override;
  void UpdateControls() override {}

 private:
  std::string m_strHomeDir;
  PackageSettings m_Settings;
};

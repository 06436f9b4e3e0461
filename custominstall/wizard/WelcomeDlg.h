// Page 1: welcome and the certification warning.
#pragma once

#include <string>

#include "wizard/WizardPageDlg.h"

class WelcomeDlg : public WizardPageDlg {
  Q_OBJECT

 public:
  /// homeDir is where the default output folder goes.
  WelcomeDlg(IMessageBox& box, std::string homeDir, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_settings; }

 protected:
  bool OnNext() override;
  void UpdateControls() override {}

 private:
  std::string m_homeDir;
  PackageSettings m_settings;
};

// Page 5: the preinstaller and uninstaller options.
#pragma once

#include <QList>
#include <string_view>

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class QCheckBox;
class QComboBox;
class QGroupBox;

class OptionsDlg : public WizardPageDlg {
  Q_OBJECT

 public:
  OptionsDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_page.Settings(); }

  QCheckBox* GeneratePreinstallerCheck() const { return m_generatePreinstaller; }
  QCheckBox* ShowSetupGuiCheck() const { return m_showSetupGui; }
  QCheckBox* CopyFilesCheck() const { return m_copyFiles; }
  QLineEdit* TargetDirectoryEdit() const { return m_targetDirectory; }
  QCheckBox* ShowUninstallGuiCheck() const { return m_showUninstallGui; }
  QComboBox* CodePageList() const { return m_codePage; }

 protected:
  bool OnNext() override;
  void OnBack() override;
  void UpdateControls() override;

 private:
  QPushButton* AddHelpButton(int x, int y, std::string_view helpText, const char* name);
  QCheckBox* AddCheck(std::string_view text, int x, int y, int width, const char* name);
  void UpdateData();
  void OnPreinstallerClicked();

  OptionsPage m_page;
  QCheckBox* m_generatePreinstaller;  // 1019
  QCheckBox* m_showSetupGui;          // 1016
  QCheckBox* m_copyFiles;             // 1012
  QLineEdit* m_targetDirectory;       // 1018
  QCheckBox* m_showUninstallGui;      // 1017
  QComboBox* m_codePage;              // the code page of the text files
  /// 1016, 1012, 1018, 1027, 1028, 1029, 1033, 1034: hidden without a preinstaller.
  QList<QWidget*> m_preinstallerControls;
};

// Page 5: the preinstaller and uninstaller options.
#pragma once

#include <QList>
#include <string_view>

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class QCheckBox;
class QComboBox;
class QGroupBox;

class COptionsDlg : public CWizardPageDlg {
  Q_OBJECT

 public:
  COptionsDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Page.Settings(); }

  QCheckBox* GeneratePreinstallerCheck() const { return m_pGeneratePreinstaller; }
  QCheckBox* ShowSetupGuiCheck() const { return m_pShowSetupGui; }
  QCheckBox* CopyFilesCheck() const { return m_pCopyFiles; }
  QLineEdit* TargetDirectoryEdit() const { return m_pTargetDirectory; }
  QCheckBox* ShowUninstallGuiCheck() const { return m_pShowUninstallGui; }
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

  COptionsPage m_Page;
  QCheckBox* m_pGeneratePreinstaller;  // 1019
  QCheckBox* m_pShowSetupGui;          // 1016
  QCheckBox* m_pCopyFiles;             // 1012
  QLineEdit* m_pTargetDirectory;       // 1018
  QCheckBox* m_pShowUninstallGui;      // 1017
  QComboBox* m_codePage;               // the code page of the text files
  /// 1016, 1012, 1018, 1027, 1028, 1029, 1033, 1034: hidden without a preinstaller.
  QList<QWidget*> m_PreinstallerControls;
};

// Page 6: the folder that receives the package.
#pragma once

#include "wizard/FolderBrowser.h"
#include "wizard/OutputPages.h"
#include "wizard/WizardPageDlg.h"

class COutputDirDlg : public CWizardPageDlg {
  Q_OBJECT

 public:
  /// homeDir is what a leading "~" in the folder stands for.
  COutputDirDlg(IMessageBox& box, IFolderBrowser& browser, PackageSettings settings,
                std::string homeDir, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Page.Settings(); }

  QLineEdit* OutputDirectoryEdit() const { return m_pOutputDirectory; }
  QPushButton* BrowseButton() const { return m_pBrowse; }

 protected:
  bool OnNext() override;
  void OnBack() override;
  void UpdateControls() override;

 private:
  void UpdateData();
  void OnBrowse();

  IFolderBrowser& m_Browser;
  COutputDirPage m_Page;
  QLineEdit* m_pOutputDirectory;  // 1019
  QPushButton* m_pBrowse;         // 1017
};

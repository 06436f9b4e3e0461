// Page 6: the folder that receives the package.
#pragma once

#include "wizard/FolderBrowser.h"
#include "wizard/OutputPages.h"
#include "wizard/WizardPageDlg.h"

class OutputDirDlg : public WizardPageDlg {
  Q_OBJECT

 public:
  /// homeDir is what a leading "~" in the folder stands for.
  OutputDirDlg(IMessageBox& box, IFolderBrowser& browser, PackageSettings settings,
               std::string homeDir, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_page.Settings(); }

  QLineEdit* OutputDirectoryEdit() const { return m_outputDirectory; }
  QPushButton* BrowseButton() const { return m_browse; }

 protected:
  bool OnNext() override;
  void OnBack() override;
  void UpdateControls() override;

 private:
  void UpdateData();
  void OnBrowse();

  IFolderBrowser& m_browser;
  OutputDirPage m_page;
  QLineEdit* m_outputDirectory;  // 1019
  QPushButton* m_browse;         // 1017
};

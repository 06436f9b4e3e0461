// Page 6: the folder that receives the package.
#include "wizard/OutputDirDlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "settings/Validation.h"

COutputDirDlg::COutputDirDlg(IMessageBox& box, IFolderBrowser& browser, PackageSettings settings,
                             std::string homeDir, QWidget* parent)
    : CWizardPageDlg(box, Buttons::BackAndNext, parent),
      m_Browser(browser),
      m_Page(std::move(settings), std::move(homeDir)) {
  AddText("Specify the directory where you want the Custom Setup files generated:", 53, 30, 240,
          18);
  m_pOutputDirectory = AddEdit(kOutputDirectoryLimit, 53, 52, 184, 12);
  m_pBrowse = new QPushButton(QStringLiteral("Browse..."), this);
  m_pBrowse->setGeometry(Units().Rect(243, 51, 50, 14));
  m_pBrowse->setObjectName(QStringLiteral("button1017"));
  m_pBrowse->setAutoDefault(false);
  connect(m_pBrowse, &QPushButton::clicked, this, &COutputDirDlg::OnBrowse);
  AddText(
      "Note: This is also the location where you should put catalog files for certification "
      "if your driver is certified..",
      53, 76, 240, 26);
  UpdateControls();
}

void COutputDirDlg::UpdateControls() {
  m_pOutputDirectory->setText(ToQString(m_Page.m_strOutputDirectory));
}

void COutputDirDlg::UpdateData() {
  m_Page.m_strOutputDirectory = ToBytes(m_pOutputDirectory->text());
}

void COutputDirDlg::OnBrowse() {
  // The record stays as it is until Next or Back; only the edit box changes.
  UpdateData();
  m_Page.OnBrowse(m_Browser.BrowseForFolder());
  UpdateControls();
}

bool COutputDirDlg::OnNext() {
  UpdateData();
  return m_Page.OnNext(Box());
}

void COutputDirDlg::OnBack() {
  UpdateData();
  m_Page.OnBack();
}

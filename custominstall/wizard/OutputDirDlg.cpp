// Page 6: the folder that receives the package.
#include "wizard/OutputDirDlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "settings/Validation.h"

OutputDirDlg::OutputDirDlg(IMessageBox& box, IFolderBrowser& browser, PackageSettings settings,
                           std::string homeDir, QWidget* parent)
    : WizardPageDlg(box, Buttons::BackAndNext, parent),
      m_browser(browser),
      m_page(std::move(settings), std::move(homeDir)) {
  AddText("Specify the directory where you want the Custom Setup files generated:", 53, 30, 240,
          18);
  m_outputDirectory = AddEdit(kOutputDirectoryLimit, 53, 52, 184, 12);
  m_browse = new QPushButton(QStringLiteral("Browse..."), this);
  m_browse->setGeometry(Units().Rect(243, 51, 50, 14));
  m_browse->setObjectName(QStringLiteral("button1017"));
  m_browse->setAutoDefault(false);
  connect(m_browse, &QPushButton::clicked, this, &OutputDirDlg::OnBrowse);
  AddText(
      "Note: This is also the location where you should put catalog files for certification "
      "if your driver is certified..",
      53, 76, 240, 26);
  UpdateControls();
}

void OutputDirDlg::UpdateControls() {
  m_outputDirectory->setText(ToQString(m_page.m_outputDirectory));
}

void OutputDirDlg::UpdateData() {
  m_page.m_outputDirectory = ToBytes(m_outputDirectory->text());
}

void OutputDirDlg::OnBrowse() {
  // The record stays as it is until Next or Back; only the edit box changes.
  UpdateData();
  m_page.OnBrowse(m_browser.BrowseForFolder());
  UpdateControls();
}

bool OutputDirDlg::OnNext() {
  UpdateData();
  return m_page.OnNext(Box());
}

void OutputDirDlg::OnBack() {
  UpdateData();
  m_page.OnBack();
}

// Runs the wizard one page at a time.
#include "wizard/WizardRunner.h"

#include "wizard/DeviceNamesDlg.h"
#include "wizard/NamesDlg.h"
#include "wizard/OptionsDlg.h"
#include "wizard/OutputDirDlg.h"
#include "wizard/SummaryDlg.h"
#include "wizard/VidPidDlg.h"
#include "wizard/WelcomeDlg.h"

CWizardRunner::CWizardRunner(IMessageBox& box, IFolderBrowser& browser, std::string homeDir,
                             std::string notice, QObject* parent)
    : QObject(parent),
      m_Box(box),
      m_Browser(browser),
      m_strHomeDir(std::move(homeDir)),
      m_strNotice(std::move(notice)) {}

CWizardRunner::~CWizardRunner() {
  delete m_pPage;
}

void CWizardRunner::Start() {
  m_pWindow = std::make_unique<CWizardWindow>(CWizardPageDlg::ToQString(m_strNotice));
  // Modal over the whole program, as every page was: the message boxes belong to it.
  m_pWindow->setWindowModality(Qt::ApplicationModal);
  Open(PageId::Welcome, PackageSettings{});
  m_pWindow->show();
}

void CWizardRunner::Open(PageId page, const PackageSettings& settings) {
  CWizardPageDlg* dialog = nullptr;
  switch (page) {
    case PageId::Welcome:
      dialog = new CWelcomeDlg(m_Box, m_strHomeDir);
      break;
    case PageId::Names:
      dialog = new CNamesDlg(m_Box, settings);
      break;
    case PageId::DeviceNames:
      dialog = new CDeviceNamesDlg(m_Box, settings);
      break;
    case PageId::VidPid:
      dialog = new CVidPidDlg(m_Box, settings);
      break;
    case PageId::Options:
      dialog = new COptionsDlg(m_Box, settings);
      break;
    case PageId::OutputDir:
      dialog = new COutputDirDlg(m_Box, m_Browser, settings, m_strHomeDir);
      break;
    case PageId::Summary:
      dialog = new CSummaryDlg(m_Box, settings);
      break;
  }
  m_CurrentPage = page;
  m_pPage = dialog;
  connect(dialog, &QDialog::finished, this, &CWizardRunner::OnPageFinished);
  // The page takes the place of the one before, in the same window at the same place.
  m_pWindow->SetPage(dialog, page == PageId::Welcome || page == PageId::Summary);
}

void CWizardRunner::OnPageFinished() {
  CWizardPageDlg* ended = m_pPage;
  m_pPage = nullptr;
  if (ended == nullptr) {
    return;
  }
  ended->deleteLater();
  const PageExit exit = ended->Exit();
  const std::optional<PageId> target = exit == PageExit::Next   ? NextPage(m_CurrentPage)
                                       : exit == PageExit::Back ? PreviousPage(m_CurrentPage)
                                                                : std::nullopt;
  if (!target) {
    m_pWindow->hide();
    emit Finished();
    return;
  }
  Open(*target, ended->Settings());
}

// Runs the wizard one page at a time.
#include "wizard/WizardRunner.h"

#include "wizard/DeviceNamesDlg.h"
#include "wizard/NamesDlg.h"
#include "wizard/OptionsDlg.h"
#include "wizard/OutputDirDlg.h"
#include "wizard/SummaryDlg.h"
#include "wizard/VidPidDlg.h"
#include "wizard/WelcomeDlg.h"

WizardRunner::WizardRunner(IMessageBox& box, IFolderBrowser& browser, std::string homeDir,
                           std::string notice, QObject* parent)
    : QObject(parent),
      m_box(box),
      m_browser(browser),
      m_homeDir(std::move(homeDir)),
      m_notice(std::move(notice)) {}

WizardRunner::~WizardRunner() {
  delete m_page;
}

void WizardRunner::Start() {
  m_window = std::make_unique<WizardWindow>(WizardPageDlg::ToQString(m_notice));
  // Modal over the whole program, as every page was: the message boxes belong to it.
  m_window->setWindowModality(Qt::ApplicationModal);
  Open(PageId::Welcome, PackageSettings{});
  m_window->show();
}

void WizardRunner::Open(PageId page, const PackageSettings& settings) {
  WizardPageDlg* dialog = nullptr;
  switch (page) {
    case PageId::Welcome:
      dialog = new WelcomeDlg(m_box, m_homeDir);
      break;
    case PageId::Names:
      dialog = new NamesDlg(m_box, settings);
      break;
    case PageId::DeviceNames:
      dialog = new DeviceNamesDlg(m_box, settings);
      break;
    case PageId::VidPid:
      dialog = new VidPidDlg(m_box, settings);
      break;
    case PageId::Options:
      dialog = new OptionsDlg(m_box, settings);
      break;
    case PageId::OutputDir:
      dialog = new OutputDirDlg(m_box, m_browser, settings, m_homeDir);
      break;
    case PageId::Summary:
      dialog = new SummaryDlg(m_box, settings);
      break;
  }
  m_currentPage = page;
  m_page = dialog;
  connect(dialog, &QDialog::finished, this, &WizardRunner::OnPageFinished);
  // The page takes the place of the one before, in the same window at the same place.
  m_window->SetPage(dialog, page == PageId::Welcome || page == PageId::Summary);
}

void WizardRunner::OnPageFinished() {
  WizardPageDlg* ended = m_page;
  m_page = nullptr;
  if (ended == nullptr) {
    return;
  }
  ended->deleteLater();
  const PageExit exit = ended->Exit();
  const std::optional<PageId> target = exit == PageExit::Next   ? NextPage(m_currentPage)
                                       : exit == PageExit::Back ? PreviousPage(m_currentPage)
                                                                : std::nullopt;
  if (!target) {
    m_window->hide();
    emit Finished();
    return;
  }
  Open(*target, ended->Settings());
}

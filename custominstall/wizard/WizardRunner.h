// Runs the wizard: one page open at a time, each handing a copy of its record to the next.
#pragma once

#include <QObject>
#include <QPointer>
#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"
#include "wizard/FolderBrowser.h"
#include "wizard/WizardFlow.h"

#include "wizard/WizardPageDlg.h"

class CWizardRunner : public QObject {
  Q_OBJECT

public:
  /// box shows every message, browser asks for folders, homeDir holds the default folder.
  CWizardRunner(IMessageBox& box, IFolderBrowser& browser, std::string homeDir,
                QObject* parent = nullptr);
  ~CWizardRunner() override;

  /// Opens the welcome page.
  void Start();
  /// The page that is open, or null once the wizard has ended.
  CWizardPageDlg* CurrentPage() const { return m_pPage; }
  PageId CurrentPageId() const { return m_CurrentPage; }

signals:
  /// The wizard has ended (Cancel, Esc, the close box or a successful Finish).
  void Finished();

private:
  void Open(PageId page, const PackageSettings& settings);
  void OnPageFinished();

  IMessageBox& m_Box;
  IFolderBrowser& m_Browser;
  std::string m_strHomeDir;
  PageId m_CurrentPage = PageId::Welcome;
  QPointer<CWizardPageDlg> m_pPage;
};

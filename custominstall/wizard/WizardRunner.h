// Runs the wizard: one page at a time in one window, each handing a copy of its record
// to the next.
#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"
#include "wizard/FolderBrowser.h"
#include "wizard/WizardFlow.h"

#include "wizard/WizardPageDlg.h"
#include "wizard/WizardWindow.h"

class WizardRunner : public QObject {
  Q_OBJECT

 public:
  /// box shows every message, browser asks for folders, homeDir holds the default folder
  /// and is what "~" means; notice is shown on the welcome and summary pages (the
  /// placeholder notice; empty for a build with real payloads).
  WizardRunner(IMessageBox& box, IFolderBrowser& browser, std::string homeDir,
               std::string notice = {}, QObject* parent = nullptr);
  ~WizardRunner() override;

  /// Opens the welcome page.
  void Start();
  /// The page that is open, or null once the wizard has ended.
  WizardPageDlg* CurrentPage() const { return m_page; }
  PageId CurrentPageId() const { return m_currentPage; }
  /// The window every page shows in (null before Start).
  WizardWindow* Window() const { return m_window.get(); }

 signals:
  /// The wizard has ended (Cancel, Esc, the close box or a successful Finish).
  void Finished();

 private:
  void Open(PageId page, const PackageSettings& settings);
  void OnPageFinished();

  IMessageBox& m_box;
  IFolderBrowser& m_browser;
  std::string m_homeDir;
  std::string m_notice;
  std::unique_ptr<WizardWindow> m_window;
  PageId m_currentPage = PageId::Welcome;
  QPointer<WizardPageDlg> m_page;
};

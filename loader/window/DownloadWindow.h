// Tarvix's main window: shows the download core's fields and progress, and
// turns buttons and menu commands into calls of the core. It implements every
// interface the core talks to (view, progress bar, message boxes, folder
// chooser, port-settings dialog) and holds no download logic of its own.
#pragma once

#include "comm/SerialAdapters.h"
#include "core/DownloadHost.h"
#include "core/ProgressState.h"

#include <QDialog>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

class CDownloadDlg;
class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStatusBar;

/// The main dialog's window ("Romvale Ver 1.02 …").
class CDownloadWindow : public QDialog,
                        public IDownloadView,
                        public IProgressCtrl,
                        public IMessageSink,
                        public IFolderChooser,
                        public IPortSetDialog,
                        public IDownloadLog {
  Q_OBJECT
 public:
  explicit CDownloadWindow(QWidget* pParent = nullptr);
  ~CDownloadWindow() override;

  /// The interfaces the core is constructed with, all served by this window.
  DownloadHost Host();

  /// The core whose fields are shown and whose handlers the commands call.
  /// Without one the window shows empty fields and its commands do nothing.
  void Attach(CDownloadDlg* pCore);

  // IDownloadView
  void UpdateData(bool bSaveAndValidate) override;
  void EnableControls(bool bEnable) override;
  // IProgressCtrl
  void SetRange(int nLower, int nUpper) override;
  void SetStep(int nStep) override;
  void StepIt() override;
  void SetPos(int nPos) override;
  // IMessageSink
  void MessageBox(std::string_view text) override;
  // IFolderChooser
  std::optional<std::string> ChooseFolder(std::string_view title,
                                          std::string_view preselected) override;
  // IPortSetDialog
  std::optional<PortSetting> RunPortSetDlg(int nBaudIndex, int nPort, int nCommType,
                                           const std::string& strModemInit) override;

  // IDownloadLog: only the list of running TCP sessions follows it.
  void DownloadEnded(const DownloadReport& report) override;
  void SessionProgress(std::string_view peer, std::string_view file, int nPos, int nMax) override;

  /// The About box, modal.
  void OnAbout();
  /// The help window at its contents.
  void OnHelpContents();
  /// Where the port-settings dialog looks for serial adapters.
  void SetAdapterFolders(AdapterFolders folders) { m_AdapterFolders = std::move(folders); }

  /// Places the window in the middle of the screen (before it is shown).
  void CentreOnScreen();

  /// Esc does nothing: the window ends only through 종료, the menu or the close box.
  void reject() override;

 protected:
  bool event(QEvent* pEvent) override;
  void contextMenuEvent(QContextMenuEvent* pEvent) override;
  /// 종료, the menu's 종료 and the close box: asks first while a download runs.
  void closeEvent(QCloseEvent* pEvent) override;

 private:
  void CreateControls();
  void CreateMenu(QMenuBar& menuBar);
  void SetTabOrder();
  /// true when the program may end now (no download runs, or the user says so).
  bool MayQuit();
  QAction* AddCommand(QMenu& menu, int id, std::string_view text, std::string_view prompt);
  void ShowProgress();
  /// The TCP sessions list: shown only with CONCURRENT=1, one row per running session.
  void ShowSessions();

  void OnRomLocation();
  void OnPortSettings();
  void OnSaveConfig();
  void OnDownload();

  CDownloadDlg* m_pCore = nullptr;
  CProgressState m_ProgressState;
  QLineEdit* m_pRomLocation = nullptr;           // edit 1001
  QLineEdit* m_pPortStatus = nullptr;            // edit 1000
  QLineEdit* m_pStatus = nullptr;                // edit 1006
  QProgressBar* m_pProgress = nullptr;           // control 1013
  QListWidget* m_pSessions = nullptr;            // running TCP sessions (peer, file, percentage)
  QPushButton* m_pRomLocationButton = nullptr;   // 1008
  QPushButton* m_pPortSettingsButton = nullptr;  // 1005
  QPushButton* m_pDownloadButton = nullptr;      // 3
  QPushButton* m_pExitButton = nullptr;          // 1007
  QStatusBar* m_pStatusBar = nullptr;
  QMenuBar* m_pMenuBar = nullptr;
  QAction* m_pAboutBoxAction = nullptr;  // "Tarvix 정보(&A)..."
  // The 설정 menu's items do what the two setting buttons do, so they are
  // disabled with them while a transfer runs.
  QAction* m_pRomLocationAction = nullptr;
  QAction* m_pPortSettingsAction = nullptr;
  AdapterFolders m_AdapterFolders;
};

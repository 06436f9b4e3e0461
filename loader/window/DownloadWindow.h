// Tarvix's main window: shows the download engine's snapshots and progress, and
// turns buttons and menu commands into calls of the engine. It implements every
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

class DownloadEngine;
class LinesTable;
class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStatusBar;

/// The main dialog's window ("Romvale Ver 1.02 …").
class DownloadWindow : public QDialog,
                       public IEngineView,
                       public IProgressCtrl,
                       public IMessageSink,
                       public IFolderChooser,
                       public IPortSetDialog,
                       public IDownloadLog {
  Q_OBJECT
 public:
  explicit DownloadWindow(QWidget* parent = nullptr);
  ~DownloadWindow() override;

  /// The interfaces the core is constructed with, all served by this window.
  DownloadHost Host();

  /// The engine whose handlers the commands call, and whose snapshot is shown
  /// at once. Without one the window's commands do nothing.
  void Attach(DownloadEngine* core);

  // IEngineView
  void Show(const EngineSnapshot& snapshot) override;
  void EnableControls(bool enable) override;
  // IProgressCtrl
  void SetRange(int lower, int upper) override;
  void SetStep(int step) override;
  void StepIt() override;
  void SetPos(int pos) override;
  // IMessageSink
  void MessageBox(std::string_view text) override;
  // IFolderChooser
  std::optional<std::string> ChooseFolder(std::string_view title,
                                          std::string_view preselected) override;
  // IPortSetDialog
  std::optional<PortSetting> RunPortSetDlg(int baudIndex, int port, int commType,
                                           const std::string& modemInit) override;

  // IDownloadLog: only the list of running downloads follows it.
  void DownloadEnded(const DownloadReport& report) override;
  void SessionProgress(std::string_view peer, std::string_view file, int pos, int max) override;

  /// The About box, modal.
  void OnAbout();
  /// The help window at its contents.
  void OnHelpContents();
  /// Where the port-settings dialog looks for serial adapters.
  void SetAdapterFolders(AdapterFolders folders) { m_adapterFolders = std::move(folders); }

  /// Places the window in the middle of the screen (before it is shown).
  void CentreOnScreen();

  /// Esc does nothing: the window ends only through 종료, the menu or the close box.
  void reject() override;

 protected:
  bool event(QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  /// 종료, the menu's 종료 and the close box: asks first while a download runs.
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void CreateMenu(QMenuBar& menuBar);
  void SetTabOrder();
  /// true when the program may end now (no download runs, or the user says so).
  bool MayQuit();
  QAction* AddCommand(QMenu& menu, int id, std::string_view text, std::string_view prompt);
  void ShowProgress();
  /// The downloads list: shown only with CONCURRENT=1, one row per running download of a
  /// connection's own.
  void ShowSessions();
  /// The lines table instead of the port line and progress bar while several lines are served.
  void ShowLines();

  void OnRomLocation();
  void OnPortSettings();
  void OnSaveConfig();
  void OnDownload();

  DownloadEngine* m_core = nullptr;
  EngineSnapshot m_shown;  // what the engine last showed
  ProgressState m_progressState;
  QLineEdit* m_romLocation = nullptr;           // edit 1001
  QLineEdit* m_portStatus = nullptr;            // edit 1000
  QLineEdit* m_status = nullptr;                // edit 1006
  QProgressBar* m_progress = nullptr;           // control 1013
  QListWidget* m_sessions = nullptr;            // running TCP sessions (peer, file, percentage)
  LinesTable* m_lines = nullptr;                // several serial lines: in place of 1000 and 1013
  QPushButton* m_romLocationButton = nullptr;   // 1008
  QPushButton* m_portSettingsButton = nullptr;  // 1005
  QPushButton* m_downloadButton = nullptr;      // 3
  QPushButton* m_exitButton = nullptr;          // 1007
  QStatusBar* m_statusBar = nullptr;
  QMenuBar* m_menuBar = nullptr;
  QAction* m_aboutBoxAction = nullptr;  // "Tarvix 정보(&A)..."
  // The 설정 menu's items do what the two setting buttons do, so they are
  // disabled with them while a transfer runs.
  QAction* m_romLocationAction = nullptr;
  QAction* m_portSettingsAction = nullptr;
  AdapterFolders m_adapterFolders;
};

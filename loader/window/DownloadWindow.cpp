// The main window's widgets, menus and the glue from them to the core.
#include "window/DownloadWindow.h"

#include "core/DownloadDlg.h"
#include "window/AboutDlg.h"
#include "window/DialogLook.h"
#include "window/HelpDlg.h"
#include "window/PortSetDlg.h"
#include "window/RomFolderDialog.h"
#include "window/TarvixIcon.h"
#include "window/WindowTexts.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kWidthDlu = 293;
constexpr int kHeightDlu = 230;

QString IdName(int id) {
  return QString::number(id);
}

QLineEdit* MakeReadOnlyEdit(int id, const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setAccessibleName(QString::fromLatin1(name));
  edit->setObjectName(IdName(id));
  edit->setReadOnly(true);
  return edit;
}

QPushButton* MakeButton(int id, std::string_view text, QWidget* parent) {
  auto* button = new QPushButton(Utf8(text), parent);
  button->setObjectName(IdName(id));
  button->setAutoDefault(false);
  return button;
}

/// Shows a core string (UTF-8; stray bytes show as replacement characters),
/// from its beginning.
void ShowText(QLineEdit& edit, const std::string& text) {
  const QString shown = Utf8(text);
  if (edit.text() != shown) edit.setText(shown);
  edit.setCursorPosition(0);
}

}  // namespace

CDownloadWindow::CDownloadWindow(QWidget* pParent) : QDialog(pParent) {
  setWindowTitle(Utf8(wnd::kCaption));
  setWindowIcon(TarvixIcon());
  setFont(DialogFont({QStringLiteral("굴림")}));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  CreateControls();
  ShowProgress();
}

CDownloadWindow::~CDownloadWindow() = default;

DownloadHost CDownloadWindow::Host() {
  DownloadHost host;
  host.view = this;
  host.progress = this;
  host.messages = this;
  host.folderChooser = this;
  host.portSetDialog = this;
  host.log = this;
  return host;
}

void CDownloadWindow::Attach(CDownloadDlg* pCore) {
  m_pCore = pCore;
  UpdateData(false);
}

void CDownloadWindow::CreateControls() {
  using namespace wnd;
  auto* settings = new QGroupBox(Utf8(kSettingsGroup), this);
  m_pRomLocationButton = MakeButton(kIdRomLocationButton, kRomLocationButton, settings);
  m_pRomLocation = MakeReadOnlyEdit(kIdRomLocationEdit, "ROM directory", settings);
  m_pPortSettingsButton = MakeButton(kIdPortSettingsButton, kPortSettingsButton, settings);
  m_pPortStatus = MakeReadOnlyEdit(kIdPortStatusEdit, "Port status", settings);
  auto* settingsGrid = new QGridLayout(settings);
  settingsGrid->setVerticalSpacing(10);
  settingsGrid->addWidget(m_pRomLocationButton, 0, 0);
  settingsGrid->addWidget(m_pRomLocation, 0, 1);
  settingsGrid->addWidget(m_pPortSettingsButton, 1, 0);
  settingsGrid->addWidget(m_pPortStatus, 1, 1);
  settingsGrid->setColumnStretch(1, 1);

  auto* progress = new QGroupBox(Utf8(kProgressGroup), this);
  m_pProgress = new QProgressBar(progress);
  m_pProgress->setObjectName(IdName(kIdProgress));
  m_pProgress->setTextVisible(false);
  m_pProgress->setAccessibleName(QStringLiteral("Download progress"));
  m_pStatus = MakeReadOnlyEdit(kIdStatusEdit, "Status line", progress);
  m_pSessions = new QListWidget(progress);
  m_pSessions->setObjectName(QStringLiteral("tcpSessions"));
  m_pSessions->setAccessibleName(QStringLiteral("TCP sessions"));
  m_pSessions->setSelectionMode(QAbstractItemView::NoSelection);
  m_pSessions->setFixedHeight(m_pSessions->fontMetrics().height() * 5);
  m_pSessions->hide();
  auto* progressColumn = new QVBoxLayout(progress);
  progressColumn->setSpacing(10);
  progressColumn->addWidget(m_pProgress);
  progressColumn->addWidget(m_pStatus);
  progressColumn->addWidget(m_pSessions);

  m_pDownloadButton = MakeButton(kIdDownloadButton, kDownloadButton, this);
  m_pExitButton = MakeButton(kIdExitButton, kExitButton, this);
  // Enter must not end the program: the exit button is never the default one.
  m_pExitButton->setAutoDefault(false);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  buttonRow->addWidget(m_pDownloadButton);
  buttonRow->addWidget(m_pExitButton);

  auto* menuBar = new QMenuBar(this);
  m_pMenuBar = menuBar;
  CreateMenu(*menuBar);
  m_pStatusBar = new QStatusBar(this);
  m_pStatusBar->setSizeGripEnabled(false);

  auto* column = new QVBoxLayout(this);
  column->setMenuBar(menuBar);
  // The template is taller than the controls need: share the room out evenly.
  column->addStretch(1);
  column->addWidget(settings);
  column->addStretch(1);
  column->addWidget(progress);
  column->addStretch(1);
  column->addLayout(buttonRow);
  column->addWidget(m_pStatusBar);

  connect(m_pRomLocationButton, &QPushButton::clicked, this, &CDownloadWindow::OnRomLocation);
  connect(m_pPortSettingsButton, &QPushButton::clicked, this, &CDownloadWindow::OnPortSettings);
  connect(m_pDownloadButton, &QPushButton::clicked, this, &CDownloadWindow::OnDownload);
  connect(m_pExitButton, &QPushButton::clicked, this, &CDownloadWindow::close);

  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  help->setObjectName(IdName(kIdHelp));
  connect(help, &QShortcut::activated, this, &CDownloadWindow::OnHelpContents);
  // F10 opens the menu bar at its first menu, as on other desktops.
  auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(menuKey, &QShortcut::activated, this, [this] {
    const QList<QAction*> menus = m_pMenuBar->actions();
    if (menus.isEmpty()) return;
    m_pMenuBar->setFocus(Qt::ShortcutFocusReason);
    m_pMenuBar->setActiveAction(menus.front());
  });
  SetTabOrder();

  const QSize templateSize = DialogUnitsToPixels(font(), kWidthDlu, kHeightDlu);
  setFixedSize(templateSize.expandedTo(sizeHint()));
}

void CDownloadWindow::SetTabOrder() {
  // Top to bottom as the window reads: each setting's button, then what it shows.
  const QList<QWidget*> order = {m_pRomLocationButton, m_pRomLocation, m_pPortSettingsButton,
                                 m_pPortStatus,        m_pStatus,      m_pSessions,
                                 m_pDownloadButton,    m_pExitButton};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  m_pProgress->setFocusPolicy(Qt::NoFocus);
}

QAction* CDownloadWindow::AddCommand(QMenu& menu, int id, std::string_view text,
                                     std::string_view prompt) {
  QAction* action = menu.addAction(Utf8(text));
  action->setObjectName(IdName(id));
  action->setStatusTip(Utf8(prompt));
  return action;
}

void CDownloadWindow::CreateMenu(QMenuBar& menuBar) {
  using namespace wnd;
  menuBar.setObjectName(QStringLiteral("141"));
  QMenu* file = menuBar.addMenu(Utf8(kFileMenu));
  connect(AddCommand(*file, kIdSaveConfig, kSaveConfig, kSaveConfigPrompt), &QAction::triggered,
          this, &CDownloadWindow::OnSaveConfig);
  file->addSeparator();
  connect(AddCommand(*file, kIdExit, kExit, kExitPrompt), &QAction::triggered, this,
          &CDownloadWindow::close);

  QMenu* settings = menuBar.addMenu(Utf8(kSettingsMenu));
  m_pRomLocationAction = AddCommand(*settings, kIdRomLocation, kRomLocation, kRomLocationPrompt);
  connect(m_pRomLocationAction, &QAction::triggered, this, &CDownloadWindow::OnRomLocation);
  m_pPortSettingsAction =
      AddCommand(*settings, kIdPortSettings, kPortSettings, kPortSettingsPrompt);
  connect(m_pPortSettingsAction, &QAction::triggered, this, &CDownloadWindow::OnPortSettings);

  QMenu* info = menuBar.addMenu(Utf8(kInfoMenu));
  connect(AddCommand(*info, kIdAppAbout, kAppAbout, kNoPrompt), &QAction::triggered, this,
          &CDownloadWindow::OnAbout);
  // The About item a Windows system menu would carry lives here and in the
  // window's context menu.
  info->addSeparator();
  m_pAboutBoxAction = AddCommand(*info, kIdAboutBox, kAboutBox, kNoPrompt);
  connect(m_pAboutBoxAction, &QAction::triggered, this, &CDownloadWindow::OnAbout);
}

bool CDownloadWindow::event(QEvent* pEvent) {
  // Menu prompts arrive as status tips; a dialog has no status bar of its own.
  if (pEvent->type() == QEvent::StatusTip) {
    m_pStatusBar->showMessage(static_cast<QStatusTipEvent*>(pEvent)->tip());
    return true;
  }
  return QDialog::event(pEvent);
}

void CDownloadWindow::reject() {}

bool CDownloadWindow::MayQuit() {
  if (m_pCore == nullptr || !m_pCore->DownloadRunning()) return true;
  QMessageBox box(QMessageBox::Question, Utf8(wnd::kAppName), Utf8(wnd::kQuitQuestion),
                  QMessageBox::NoButton, this);
  box.setObjectName(QStringLiteral("quitQuestion"));
  QPushButton* quit = box.addButton(Utf8(wnd::kQuitAnyway), QMessageBox::DestructiveRole);
  QPushButton* keep = box.addButton(Utf8(wnd::kKeepRunning), QMessageBox::RejectRole);
  // Enter and Esc both keep the download running.
  box.setDefaultButton(keep);
  box.setEscapeButton(keep);
  box.exec();
  return box.clickedButton() == quit;
}

void CDownloadWindow::closeEvent(QCloseEvent* pEvent) {
  if (!MayQuit()) {
    pEvent->ignore();
    return;
  }
  pEvent->accept();
  done(QDialog::Rejected);
}

void CDownloadWindow::contextMenuEvent(QContextMenuEvent* pEvent) {
  QMenu menu(this);
  menu.addAction(m_pAboutBoxAction);
  menu.exec(pEvent->globalPos());
}

void CDownloadWindow::UpdateData(bool bSaveAndValidate) {
  // Every shown field is read-only: nothing flows back from the widgets.
  if (bSaveAndValidate || m_pCore == nullptr) return;
  ShowText(*m_pPortStatus, m_pCore->m_strPortStatus);
  // Why the port is not open and where its device is set, where the port line
  // is: the status texts stay as they are.
  m_pPortStatus->setToolTip(Utf8(m_pCore->PortExplanation()));
  m_pDownloadButton->setEnabled(m_pCore->m_bControlsEnabled && !m_pCore->m_Config.m_bNoSerialPort);
  ShowText(*m_pStatus, m_pCore->m_strStatus);
  ShowText(*m_pRomLocation, m_pCore->m_strRomLocation);
  ShowSessions();
}

void CDownloadWindow::ShowSessions() {
  const bool shown = m_pCore != nullptr && m_pCore->m_Config.m_bConcurrent;
  if (shown == m_pSessions->isHidden()) {
    m_pSessions->setVisible(shown);
    // The dialog has a fixed size: make room for the list.
    setFixedSize(size().expandedTo(sizeHint()));
  }
  if (!shown) return;
  const auto sessions = m_pCore->TcpSessions();
  QStringList rows;
  for (const auto& session : sessions) {
    rows << Utf8(session.strPeer) + QStringLiteral("   ") + Utf8(session.strFile) +
                QStringLiteral("   ") + QString::number(session.nPercent) + QLatin1Char('%');
  }
  if (m_pSessions->count() == rows.size()) {
    for (int i = 0; i < rows.size(); ++i) m_pSessions->item(i)->setText(rows[i]);
    return;
  }
  m_pSessions->clear();
  m_pSessions->addItems(rows);
}

void CDownloadWindow::DownloadEnded(const DownloadReport& /*report*/) {
  ShowSessions();
}

void CDownloadWindow::SessionProgress(std::string_view /*peer*/, std::string_view /*file*/,
                                      int /*nPos*/, int /*nMax*/) {
  ShowSessions();
}

void CDownloadWindow::EnableControls(bool bEnable) {
  // Changing the port or the ROM folder ends the running transfer; the menu
  // must not do behind the buttons' back what they refuse.
  m_pPortSettingsButton->setEnabled(bEnable);
  m_pPortSettingsAction->setEnabled(bEnable);
  m_pRomLocationAction->setEnabled(bEnable);
  // Without a serial port there is nothing to send the download trigger to.
  m_pDownloadButton->setEnabled(bEnable &&
                                !(m_pCore != nullptr && m_pCore->m_Config.m_bNoSerialPort));
  m_pRomLocationButton->setEnabled(bEnable);
}

void CDownloadWindow::SetRange(int nLower, int nUpper) {
  m_ProgressState.SetRange(nLower, nUpper);
  ShowProgress();
}

void CDownloadWindow::SetStep(int nStep) {
  m_ProgressState.SetStep(nStep);
}

void CDownloadWindow::StepIt() {
  m_ProgressState.StepIt();
  ShowProgress();
}

void CDownloadWindow::SetPos(int nPos) {
  m_ProgressState.SetPos(nPos);
  ShowProgress();
}

void CDownloadWindow::ShowProgress() {
  const int lower = m_ProgressState.Lower();
  m_pProgress->setRange(lower, std::max(lower, m_ProgressState.Upper()));
  m_pProgress->setValue(m_ProgressState.Pos());
}

void CDownloadWindow::MessageBox(std::string_view text) {
  QMessageBox box(QMessageBox::Warning, Utf8(wnd::kAppName), Utf8(text), QMessageBox::Ok, this);
  // The missing configuration file: say which file was looked for.
  if (m_pCore != nullptr && text == kTextConfigMissing) {
    box.setInformativeText(Utf8(wnd::kConfigLookedFor) +
                           QFile::decodeName(QByteArray::fromStdString(m_pCore->m_strConfigPath)));
    KeepDetailLinesWhole(box);
  }
  box.exec();
}

void CDownloadWindow::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

std::optional<std::string> CDownloadWindow::ChooseFolder(std::string_view title,
                                                         std::string_view preselected) {
  CRomFolderDialog chooser(this, Utf8(title),
                           QFile::decodeName(QByteArray(
                               preselected.data(), static_cast<qsizetype>(preselected.size()))));
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  const QString folder = chooser.ChosenFolder();
  if (folder.isEmpty()) return std::nullopt;
  return QFile::encodeName(folder).toStdString();
}

std::optional<PortSetting> CDownloadWindow::RunPortSetDlg(int nBaudIndex, int nPort, int nCommType,
                                                          const std::string& strModemInit) {
  PortDeviceList devices;
  if (m_pCore != nullptr) {
    std::copy(m_pCore->m_CommPort.m_PortDevices.begin(), m_pCore->m_CommPort.m_PortDevices.end(),
              devices.begin());
  }
  CPortSetDlg dialog(nBaudIndex, nPort, nCommType, strModemInit, this, devices,
                     FindSerialAdapters(m_AdapterFolders));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const PortSetting setting = dialog.GetSetting();
  // The chosen adapter is in place before the core reopens the port.
  if (const auto device = dialog.ChosenDevice(); device && m_pCore != nullptr) {
    m_pCore->MapPortDevice(setting.nPort, *device);
  }
  return setting;
}

void CDownloadWindow::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CDownloadWindow::OnHelpContents() {
  auto* help = findChild<CHelpDlg*>();
  if (help == nullptr) help = new CHelpDlg(this);
  help->show();
  help->raise();
  help->activateWindow();
}

void CDownloadWindow::OnRomLocation() {
  if (m_pCore != nullptr) m_pCore->OnRomLocation();
}

void CDownloadWindow::OnPortSettings() {
  if (m_pCore != nullptr) m_pCore->OnPortSettings();
}

void CDownloadWindow::OnSaveConfig() {
  if (m_pCore != nullptr) m_pCore->OnSaveConfig();
}

void CDownloadWindow::OnDownload() {
  if (m_pCore == nullptr) return;
  // A port that failed has nothing to send the trigger on: say why instead.
  const std::string why = m_pCore->PortExplanation();
  if (!why.empty()) {
    MessageBox(why);
    return;
  }
  m_pCore->SendTrigger();
}

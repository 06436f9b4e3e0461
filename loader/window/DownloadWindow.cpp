// The main window's widgets, menus and the glue from them to the core.
#include "window/DownloadWindow.h"

#include "core/DownloadEngine.h"
#include "window/AboutDlg.h"
#include "window/DialogLook.h"
#include "window/HelpDlg.h"
#include "window/LinesTable.h"
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

DownloadWindow::DownloadWindow(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Utf8(wnd::kCaption));
  setWindowIcon(TarvixIcon());
  setFont(DialogFont({QStringLiteral("굴림")}));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  CreateControls();
  ShowProgress();
}

DownloadWindow::~DownloadWindow() = default;

DownloadHost DownloadWindow::Host() {
  DownloadHost host;
  host.view = this;
  host.progress = this;
  host.messages = this;
  host.folderChooser = this;
  host.portSetDialog = this;
  host.log = this;
  return host;
}

void DownloadWindow::Attach(DownloadEngine* core) {
  m_core = core;
  if (core != nullptr) Show(core->Snapshot());
}

void DownloadWindow::CreateControls() {
  using namespace wnd;
  auto* settings = new QGroupBox(Utf8(kSettingsGroup), this);
  m_romLocationButton = MakeButton(kIdRomLocationButton, kRomLocationButton, settings);
  m_romLocation = MakeReadOnlyEdit(kIdRomLocationEdit, "ROM directory", settings);
  m_portSettingsButton = MakeButton(kIdPortSettingsButton, kPortSettingsButton, settings);
  m_portStatus = MakeReadOnlyEdit(kIdPortStatusEdit, "Port status", settings);
  auto* settingsGrid = new QGridLayout(settings);
  settingsGrid->setVerticalSpacing(10);
  settingsGrid->addWidget(m_romLocationButton, 0, 0);
  settingsGrid->addWidget(m_romLocation, 0, 1);
  settingsGrid->addWidget(m_portSettingsButton, 1, 0);
  settingsGrid->addWidget(m_portStatus, 1, 1);
  settingsGrid->setColumnStretch(1, 1);

  auto* progress = new QGroupBox(Utf8(kProgressGroup), this);
  m_progress = new QProgressBar(progress);
  m_progress->setObjectName(IdName(kIdProgress));
  m_progress->setTextVisible(false);
  m_progress->setAccessibleName(QStringLiteral("Download progress"));
  m_status = MakeReadOnlyEdit(kIdStatusEdit, "Status line", progress);
  m_sessions = new QListWidget(progress);
  m_sessions->setObjectName(QStringLiteral("tcpSessions"));
  m_sessions->setAccessibleName(QStringLiteral("TCP sessions"));
  m_sessions->setSelectionMode(QAbstractItemView::NoSelection);
  m_sessions->setFixedHeight(m_sessions->fontMetrics().height() * 5);
  m_sessions->hide();
  m_lines = new LinesTable(progress);
  m_lines->hide();
  auto* progressColumn = new QVBoxLayout(progress);
  progressColumn->setSpacing(10);
  progressColumn->addWidget(m_lines);
  progressColumn->addWidget(m_progress);
  progressColumn->addWidget(m_status);
  progressColumn->addWidget(m_sessions);

  m_downloadButton = MakeButton(kIdDownloadButton, kDownloadButton, this);
  m_exitButton = MakeButton(kIdExitButton, kExitButton, this);
  // Enter must not end the program: the exit button is never the default one.
  m_exitButton->setAutoDefault(false);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  buttonRow->addWidget(m_downloadButton);
  buttonRow->addWidget(m_exitButton);

  auto* menuBar = new QMenuBar(this);
  m_menuBar = menuBar;
  CreateMenu(*menuBar);
  m_statusBar = new QStatusBar(this);
  m_statusBar->setSizeGripEnabled(false);

  auto* column = new QVBoxLayout(this);
  column->setMenuBar(menuBar);
  // The template is taller than the controls need: share the room out evenly.
  column->addStretch(1);
  column->addWidget(settings);
  column->addStretch(1);
  column->addWidget(progress);
  column->addStretch(1);
  column->addLayout(buttonRow);
  column->addWidget(m_statusBar);

  connect(m_romLocationButton, &QPushButton::clicked, this, &DownloadWindow::OnRomLocation);
  connect(m_portSettingsButton, &QPushButton::clicked, this, &DownloadWindow::OnPortSettings);
  connect(m_downloadButton, &QPushButton::clicked, this, &DownloadWindow::OnDownload);
  connect(m_exitButton, &QPushButton::clicked, this, &DownloadWindow::close);

  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  help->setObjectName(IdName(kIdHelp));
  connect(help, &QShortcut::activated, this, &DownloadWindow::OnHelpContents);
  // F10 opens the menu bar at its first menu, as on other desktops.
  auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
  connect(menuKey, &QShortcut::activated, this, [this] {
    const QList<QAction*> menus = m_menuBar->actions();
    if (menus.isEmpty()) return;
    m_menuBar->setFocus(Qt::ShortcutFocusReason);
    m_menuBar->setActiveAction(menus.front());
  });
  SetTabOrder();

  const QSize templateSize = DialogUnitsToPixels(font(), kWidthDlu, kHeightDlu);
  setFixedSize(templateSize.expandedTo(sizeHint()));
}

void DownloadWindow::SetTabOrder() {
  // Top to bottom as the window reads: each setting's button, then what it shows.
  const QList<QWidget*> order = {m_romLocationButton, m_romLocation, m_portSettingsButton,
                                 m_portStatus,        m_status,      m_sessions,
                                 m_downloadButton,    m_exitButton};
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  m_progress->setFocusPolicy(Qt::NoFocus);
}

QAction* DownloadWindow::AddCommand(QMenu& menu, int id, std::string_view text,
                                    std::string_view prompt) {
  QAction* action = menu.addAction(Utf8(text));
  action->setObjectName(IdName(id));
  action->setStatusTip(Utf8(prompt));
  return action;
}

void DownloadWindow::CreateMenu(QMenuBar& menuBar) {
  using namespace wnd;
  menuBar.setObjectName(QStringLiteral("141"));
  QMenu* file = menuBar.addMenu(Utf8(kFileMenu));
  connect(AddCommand(*file, kIdSaveConfig, kSaveConfig, kSaveConfigPrompt), &QAction::triggered,
          this, &DownloadWindow::OnSaveConfig);
  file->addSeparator();
  connect(AddCommand(*file, kIdExit, kExit, kExitPrompt), &QAction::triggered, this,
          &DownloadWindow::close);

  QMenu* settings = menuBar.addMenu(Utf8(kSettingsMenu));
  m_romLocationAction = AddCommand(*settings, kIdRomLocation, kRomLocation, kRomLocationPrompt);
  connect(m_romLocationAction, &QAction::triggered, this, &DownloadWindow::OnRomLocation);
  m_portSettingsAction = AddCommand(*settings, kIdPortSettings, kPortSettings, kPortSettingsPrompt);
  connect(m_portSettingsAction, &QAction::triggered, this, &DownloadWindow::OnPortSettings);

  QMenu* info = menuBar.addMenu(Utf8(kInfoMenu));
  connect(AddCommand(*info, kIdAppAbout, kAppAbout, kNoPrompt), &QAction::triggered, this,
          &DownloadWindow::OnAbout);
  // The About item a Windows system menu would carry lives here and in the
  // window's context menu.
  info->addSeparator();
  m_aboutBoxAction = AddCommand(*info, kIdAboutBox, kAboutBox, kNoPrompt);
  connect(m_aboutBoxAction, &QAction::triggered, this, &DownloadWindow::OnAbout);
}

bool DownloadWindow::event(QEvent* event) {
  // Menu prompts arrive as status tips; a dialog has no status bar of its own.
  if (event->type() == QEvent::StatusTip) {
    m_statusBar->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QDialog::event(event);
}

void DownloadWindow::reject() {}

bool DownloadWindow::MayQuit() {
  if (m_core == nullptr || !m_core->DownloadRunning()) return true;
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

void DownloadWindow::closeEvent(QCloseEvent* event) {
  if (!MayQuit()) {
    event->ignore();
    return;
  }
  event->accept();
  done(QDialog::Rejected);
}

void DownloadWindow::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(m_aboutBoxAction);
  menu.exec(event->globalPos());
}

void DownloadWindow::Show(const EngineSnapshot& snapshot) {
  // Every shown field is read-only: nothing flows back from the widgets.
  m_shown = snapshot;
  ShowText(*m_portStatus, snapshot.portLine);
  // Why the port is not open and where its device is set, where the port line
  // is: the status texts stay as they are.
  m_portStatus->setToolTip(Utf8(snapshot.portExplanation));
  m_downloadButton->setEnabled(snapshot.controlsEnabled && snapshot.serialPortUsed);
  ShowText(*m_status, snapshot.status);
  ShowText(*m_romLocation, snapshot.romLocation);
  ShowSessions();
  ShowLines();
}

void DownloadWindow::ShowLines() {
  const bool several = !m_shown.lines.empty();
  if (several == m_lines->isHidden()) {
    m_lines->setVisible(several);
    m_portStatus->setVisible(!several);
    m_progress->setVisible(!several);
    setFixedSize(size().expandedTo(sizeHint()));
  }
  if (several) m_lines->ShowLines(m_shown.lines, m_shown.portExplanation);
}

void DownloadWindow::ShowSessions() {
  const bool shown = m_core != nullptr && m_shown.listsDownloads;
  if (shown == m_sessions->isHidden()) {
    m_sessions->setVisible(shown);
    // The dialog has a fixed size: make room for the list.
    setFixedSize(size().expandedTo(sizeHint()));
  }
  if (!shown) return;
  const auto sessions = m_core->OwnDownloads();
  QStringList rows;
  for (const auto& session : sessions) {
    rows << Utf8(session.peer) + QStringLiteral("   ") + Utf8(session.file) +
                QStringLiteral("   ") + QString::number(session.percent) + QLatin1Char('%');
  }
  if (m_sessions->count() == rows.size()) {
    for (int i = 0; i < rows.size(); ++i) m_sessions->item(i)->setText(rows[i]);
    return;
  }
  m_sessions->clear();
  m_sessions->addItems(rows);
}

void DownloadWindow::DownloadEnded(const DownloadReport& /*report*/) {
  ShowSessions();
}

void DownloadWindow::SessionProgress(std::string_view /*peer*/, std::string_view /*file*/,
                                     int /*pos*/, int /*max*/) {
  ShowSessions();
}

void DownloadWindow::EnableControls(bool enable) {
  // Changing the port or the ROM folder ends the running transfer; the menu
  // must not do behind the buttons' back what they refuse.
  m_portSettingsButton->setEnabled(enable);
  m_portSettingsAction->setEnabled(enable);
  m_romLocationAction->setEnabled(enable);
  // Without a serial port there is nothing to send the download trigger to.
  m_downloadButton->setEnabled(enable && m_shown.serialPortUsed);
  m_romLocationButton->setEnabled(enable);
}

void DownloadWindow::SetRange(int lower, int upper) {
  m_progressState.SetRange(lower, upper);
  ShowProgress();
}

void DownloadWindow::SetStep(int step) {
  m_progressState.SetStep(step);
}

void DownloadWindow::StepIt() {
  m_progressState.StepIt();
  ShowProgress();
}

void DownloadWindow::SetPos(int pos) {
  m_progressState.SetPos(pos);
  ShowProgress();
}

void DownloadWindow::ShowProgress() {
  const int lower = m_progressState.Lower();
  m_progress->setRange(lower, std::max(lower, m_progressState.Upper()));
  m_progress->setValue(m_progressState.Pos());
}

void DownloadWindow::MessageBox(std::string_view text) {
  QMessageBox box(QMessageBox::Warning, Utf8(wnd::kAppName), Utf8(text), QMessageBox::Ok, this);
  // The missing configuration file: say which file was looked for.
  if (m_core != nullptr && text == kTextConfigMissing) {
    box.setInformativeText(Utf8(wnd::kConfigLookedFor) +
                           QFile::decodeName(QByteArray::fromStdString(m_core->ConfigPath())));
    KeepDetailLinesWhole(box);
  }
  box.exec();
}

void DownloadWindow::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

std::optional<std::string> DownloadWindow::ChooseFolder(std::string_view title,
                                                        std::string_view preselected) {
  RomFolderDialog chooser(this, Utf8(title),
                          QFile::decodeName(QByteArray(
                              preselected.data(), static_cast<qsizetype>(preselected.size()))));
  if (chooser.exec() != QDialog::Accepted) return std::nullopt;
  const QString folder = chooser.ChosenFolder();
  if (folder.isEmpty()) return std::nullopt;
  return QFile::encodeName(folder).toStdString();
}

std::optional<PortSetting> DownloadWindow::RunPortSetDlg(int baudIndex, int port, int commType,
                                                         const std::string& modemInit) {
  PortDeviceList devices;
  std::copy(m_shown.portDevices.begin(), m_shown.portDevices.end(), devices.begin());
  PortSetDlg dialog(baudIndex, port, commType, modemInit, this, devices,
                    FindSerialAdapters(m_adapterFolders));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const PortSetting setting = dialog.GetSetting();
  // The chosen adapter is in place before the core reopens the port.
  if (const auto device = dialog.ChosenDevice(); device && m_core != nullptr) {
    m_core->MapPortDevice(setting.port, *device);
  }
  return setting;
}

void DownloadWindow::OnAbout() {
  AboutDlg about(this);
  about.exec();
}

void DownloadWindow::OnHelpContents() {
  auto* help = findChild<HelpDlg*>();
  if (help == nullptr) help = new HelpDlg(this);
  help->show();
  help->raise();
  help->activateWindow();
}

void DownloadWindow::OnRomLocation() {
  if (m_core != nullptr) m_core->OnRomLocation();
}

void DownloadWindow::OnPortSettings() {
  if (m_core != nullptr) m_core->OnPortSettings();
}

void DownloadWindow::OnSaveConfig() {
  if (m_core != nullptr) m_core->OnSaveConfig();
}

void DownloadWindow::OnDownload() {
  if (m_core == nullptr) return;
  // A port that failed has nothing to send the trigger on: say why instead.
  const std::string why = m_core->PortExplanation();
  if (!why.empty()) {
    MessageBox(why);
    return;
  }
  m_core->SendTrigger();
}

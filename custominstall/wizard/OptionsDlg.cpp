// Page 5: the preinstaller and uninstaller options.
#include "wizard/OptionsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "settings/CodePage.h"
#include "settings/Validation.h"

namespace {
constexpr std::string_view kCodePageLabel = "Code page:";
}  // namespace

OptionsDlg::OptionsDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : WizardPageDlg(box, Buttons::BackAndNext, parent), m_page(std::move(settings)) {
  // The groups sit a little tighter than they used to, leaving a row for the code page.
  auto* preinstallerGroup = new QGroupBox(QStringLiteral("Preinstaller Options"), this);
  preinstallerGroup->setGeometry(Units().Rect(53, 7, 240, 125));
  auto* uninstallerGroup = new QGroupBox(QStringLiteral("Uninstaller Options"), this);
  uninstallerGroup->setGeometry(Units().Rect(53, 134, 240, 28));
  // Children of the page, not of the groups, so every control sits in page units.
  preinstallerGroup->lower();
  uninstallerGroup->lower();

  AddHelpButton(60, 19, kGeneratePreinstallerHelp, "button1032");
  m_generatePreinstaller = AddCheck("Generate a Preinstaller program", 76, 19, 210, "check1019");
  QPushButton* help1027 = AddHelpButton(60, 35, kShowSetupGuiHelp, "button1027");
  m_showSetupGui = AddCheck("Display GUI window during Setup", 76, 35, 210, "check1016");
  QPushButton* help1028 = AddHelpButton(60, 51, kCopyFilesHelp, "button1028");
  m_copyFiles = AddCheck("Copy Files to Directory during Setup", 76, 51, 210, "check1012");
  QPushButton* help1029 = AddHelpButton(60, 67, kTargetDirectoryHelp, "button1029");
  QLabel* label1033 = AddText("Target Directory:", 76, 69, 200, 9);
  m_targetDirectory = AddEdit(kTargetDirectoryLimit, 76, 80, 210, 12);
  m_targetDirectory->setObjectName(QStringLiteral("edit1018"));
  QLabel* text1034 = AddText(
      "Example: \"C:\\Program Files\\Vornix\\Product Name\"\n\nNote: This MUST be different "
      "for each product released.",
      76, 96, 210, 33);

  AddHelpButton(60, 145, kShowUninstallGuiHelp, "button1030");
  m_showUninstallGui = AddCheck("Display GUI window during Uninstall", 76, 145, 210, "check1017");

  AddText(kCodePageLabel, 53, 168, 45, 9);
  m_codePage = new QComboBox(this);
  m_codePage->setGeometry(Units().Rect(100, 166, 130, 12));
  m_codePage->setObjectName(QStringLiteral("codePage"));
  for (const CodePageChoice& choice : CodePageChoices()) {
    m_codePage->addItem(ToQString(choice.label), choice.number);
  }

  m_preinstallerControls = {m_showSetupGui, m_copyFiles, m_targetDirectory, help1027,
                            help1028,       help1029,    label1033,         text1034};
  connect(m_generatePreinstaller, &QCheckBox::clicked, this, &OptionsDlg::OnPreinstallerClicked);
  UpdateControls();
}

QPushButton* OptionsDlg::AddHelpButton(int x, int y, std::string_view helpText, const char* name) {
  auto* button = new QPushButton(QStringLiteral("?"), this);
  button->setGeometry(Units().Rect(x, y, 12, 12));
  button->setAutoDefault(false);
  button->setObjectName(QLatin1String(name));
  connect(button, &QPushButton::clicked, this,
          [this, helpText] { OptionsPage::ShowHelp(Box(), helpText); });
  return button;
}

QCheckBox* OptionsDlg::AddCheck(std::string_view text, int x, int y, int width, const char* name) {
  auto* check = new QCheckBox(ToQString(text), this);
  check->setGeometry(Units().Rect(x, y, width, 12));
  check->setObjectName(QLatin1String(name));
  return check;
}

void OptionsDlg::UpdateControls() {
  m_generatePreinstaller->setChecked(m_page.m_generatePreinstaller);
  m_showSetupGui->setChecked(m_page.m_showSetupGui);
  m_copyFiles->setChecked(m_page.m_copyFilesToDirectory);
  m_targetDirectory->setText(ToQString(m_page.m_targetDirectory));
  m_showUninstallGui->setChecked(m_page.m_showUninstallGui);
  m_codePage->setCurrentIndex(std::max(0, m_codePage->findData(m_page.m_codePage)));
  for (QWidget* control : m_preinstallerControls) {
    control->setVisible(m_page.m_preinstallerControlsVisible);
  }
}

void OptionsDlg::UpdateData() {
  m_page.m_generatePreinstaller = m_generatePreinstaller->isChecked();
  m_page.m_showSetupGui = m_showSetupGui->isChecked();
  m_page.m_copyFilesToDirectory = m_copyFiles->isChecked();
  m_page.m_targetDirectory = ToBytes(m_targetDirectory->text());
  m_page.m_showUninstallGui = m_showUninstallGui->isChecked();
  m_page.m_codePage = m_codePage->currentData().toInt();
}

void OptionsDlg::OnPreinstallerClicked() {
  UpdateData();
  m_page.OnPreinstallerClicked(m_generatePreinstaller->isChecked());
  UpdateControls();
}

bool OptionsDlg::OnNext() {
  UpdateData();
  return m_page.OnNext(Box());
}

void OptionsDlg::OnBack() {
  UpdateData();
  m_page.OnBack();
}

// Page 2: the uninstall file name, the INF prefix, the short and the long name.
#include "wizard/NamesDlg.h"

#include <QLineEdit>

#include "settings/Validation.h"

NamesDlg::NamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : WizardPageDlg(box, Buttons::NextOnly, parent), m_page(std::move(settings)) {
  AddText("Name for Uninstall File:", 53, 7, 240, 9);
  m_uninstallFileName = AddEdit(kUninstallFileNameLimit, 53, 17, 60, 12);
  AddText("This name should be unique for every product released.\nExample: \"vornun.xxx\"", 118,
          14, 175, 27);

  AddText("Prefix for .inf File Names:", 53, 45, 240, 9);
  m_infPrefix = AddEdit(kInfPrefixLimit, 53, 55, 60, 12);
  AddText("Example: \"vornxxxx.inf\" ", 118, 57, 175, 9);

  AddText("Short Name for .inf File Entries:", 53, 78, 240, 9);
  m_shortName = AddEdit(kShortNameLimit, 53, 88, 120, 12);
  AddText("Example: \"vorn\" ", 178, 90, 115, 9);

  AddText("Long Name for .inf File Entries:", 53, 111, 240, 9);
  m_longName = AddEdit(kLongNameLimit, 53, 121, 240, 12);
  AddText("Example: \"Vorn Microsystems\"", 53, 136, 240, 9);

  UpdateControls();
}

void NamesDlg::UpdateControls() {
  m_uninstallFileName->setText(ToQString(m_page.m_uninstallFileName));
  m_infPrefix->setText(ToQString(m_page.m_infPrefix));
  m_shortName->setText(ToQString(m_page.m_shortName));
  m_longName->setText(ToQString(m_page.m_longName));
}

void NamesDlg::UpdateData() {
  m_page.m_uninstallFileName = ToBytes(m_uninstallFileName->text());
  m_page.m_infPrefix = ToBytes(m_infPrefix->text());
  m_page.m_shortName = ToBytes(m_shortName->text());
  m_page.m_longName = ToBytes(m_longName->text());
}

bool NamesDlg::OnNext() {
  UpdateData();
  return m_page.OnNext(Box());
}

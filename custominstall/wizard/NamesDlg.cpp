// Page 2: the uninstall file name, the INF prefix, the short and the long name.
#include "wizard/NamesDlg.h"

#include <QLineEdit>

#include "settings/Validation.h"

CNamesDlg::CNamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : CWizardPageDlg(box, Buttons::NextOnly, parent), m_Page(std::move(settings)) {
  AddText("Name for Uninstall File:", 53, 7, 240, 9);
  m_pUninstallFileName = AddEdit(kUninstallFileNameLimit, 53, 17, 60, 12);
  AddText("This name should be unique for every product released.\nExample: \"vornun.xxx\"", 118,
          14, 175, 27);

  AddText("Prefix for .inf File Names:", 53, 45, 240, 9);
  m_pInfPrefix = AddEdit(kInfPrefixLimit, 53, 55, 60, 12);
  AddText("Example: \"vornxxxx.inf\" ", 118, 57, 175, 9);

  AddText("Short Name for .inf File Entries:", 53, 78, 240, 9);
  m_pShortName = AddEdit(kShortNameLimit, 53, 88, 120, 12);
  AddText("Example: \"vorn\" ", 178, 90, 115, 9);

  AddText("Long Name for .inf File Entries:", 53, 111, 240, 9);
  m_pLongName = AddEdit(kLongNameLimit, 53, 121, 240, 12);
  AddText("Example: \"Vorn Microsystems\"", 53, 136, 240, 9);

  UpdateControls();
}

void CNamesDlg::UpdateControls() {
  m_pUninstallFileName->setText(ToQString(m_Page.m_strUninstallFileName));
  m_pInfPrefix->setText(ToQString(m_Page.m_strInfPrefix));
  m_pShortName->setText(ToQString(m_Page.m_strShortName));
  m_pLongName->setText(ToQString(m_Page.m_strLongName));
}

void CNamesDlg::UpdateData() {
  m_Page.m_strUninstallFileName = ToBytes(m_pUninstallFileName->text());
  m_Page.m_strInfPrefix = ToBytes(m_pInfPrefix->text());
  m_Page.m_strShortName = ToBytes(m_pShortName->text());
  m_Page.m_strLongName = ToBytes(m_pLongName->text());
}

bool CNamesDlg::OnNext() {
  UpdateData();
  return m_Page.OnNext(Box());
}

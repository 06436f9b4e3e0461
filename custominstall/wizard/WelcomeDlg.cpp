// Page 1: welcome and the certification warning.
#include "wizard/WelcomeDlg.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

#include "wizard/PageLogic.h"

WelcomeDlg::WelcomeDlg(IMessageBox& box, std::string homeDir, QWidget* parent)
    : WizardPageDlg(box, Buttons::NextOnly, parent), m_homeDir(std::move(homeDir)) {
  NextButton()->setObjectName(QStringLiteral("button1000"));

  QLabel* title = AddText("VB7350 Custom Setup Utility\nVersion 1.0", 53, 7, 240, 20);
  QFont titleFont = title->font();
  titleFont.setBold(true);
  title->setFont(titleFont);
  AddText(
      "WARNING: This Custom Setup Wizard will generate a custom installation for the VB7350. "
      "As a result the driver installation will no longer be certified for Microsoft Windows "
      "XP/2000.",
      53, 32, 240, 34);
  AddText("Certification must be performed by Microsoft for the new driver installation.", 53, 70,
          240, 18);
  AddText(
      "Note: An uncertified installation will not cause any problems other than the warning "
      "message displayed by Win XP when installing uncertified drivers.",
      53, 92, 240, 26);
  AddText(
      "For more info on Windows XP Certification goto:\n"
      "    the Windows Hardware Quality Labs (WHQL) pages at microsoft.com\n"
      "    the driver signing chapter of the Windows DDK documentation",
      53, 124, 240, 34);
}

bool WelcomeDlg::OnNext() {
  m_settings = WelcomePage::OnNext(m_homeDir);
  return true;
}

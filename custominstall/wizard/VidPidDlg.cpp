// Page 4: the USB vendor and product IDs.
#include "wizard/VidPidDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include "settings/Validation.h"

namespace {

// An upper-case edit box: a to z become A to Z as they are typed or pasted; nothing is
// refused here (the page's Next checks the digits).
class CUpperCaseValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    for (QChar& c : input) {
      if (c >= QLatin1Char('a') && c <= QLatin1Char('z')) {
        c = QChar(c.unicode() - 'a' + 'A');
      }
    }
    return Acceptable;
  }
};

}  // namespace

CVidPidDlg::CVidPidDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : CWizardPageDlg(box, Buttons::BackAndNext, parent), m_Page(std::move(settings)) {
  auto* upperCase = new CUpperCaseValidator(this);

  AddText("VID (Vendor ID):", 53, 30, 240, 9);
  m_pVid = AddEdit(kVidLimit, 53, 40, 40, 12);
  m_pVid->setValidator(upperCase);
  AddText("Example: 3E7A (Hex value for device recognition)", 98, 42, 195, 9);

  AddText("PID (Product ID):", 53, 74, 240, 9);
  m_pPid = AddEdit(kPidLimit, 53, 84, 40, 12);
  m_pPid->setValidator(upperCase);
  AddText("Example: B2C9 (Hex value for device recognition)", 98, 86, 195, 9);

  // Shown while an ID is shorter than the four digits Windows reports.
  m_note = AddText("", 53, 110, 240, 40);
  m_note->setObjectName(QStringLiteral("shortIdNote"));
  connect(m_pVid, &QLineEdit::textChanged, this, &CVidPidDlg::ShowNote);
  connect(m_pPid, &QLineEdit::textChanged, this, &CVidPidDlg::ShowNote);

  UpdateControls();
}

void CVidPidDlg::UpdateControls() {
  m_pVid->setText(ToQString(m_Page.m_strVid));
  m_pPid->setText(ToQString(m_Page.m_strPid));
  ShowNote();
}

void CVidPidDlg::ShowNote() {
  m_note->setText(
      ToQString(CVidPidPage::ShortIdNote(ToBytes(m_pVid->text()), ToBytes(m_pPid->text()))));
}

void CVidPidDlg::UpdateData() {
  m_Page.m_strVid = ToBytes(m_pVid->text());
  m_Page.m_strPid = ToBytes(m_pPid->text());
}

bool CVidPidDlg::OnNext() {
  UpdateData();
  return m_Page.OnNext(Box());
}

void CVidPidDlg::OnBack() {
  UpdateData();
  m_Page.OnBack();
}

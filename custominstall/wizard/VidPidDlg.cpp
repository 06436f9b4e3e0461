// Page 4: the USB vendor and product IDs.
#include "wizard/VidPidDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QValidator>

#include "settings/Validation.h"

namespace {

// An upper-case edit box: a to z become A to Z as they are typed or pasted; nothing is
// refused here (the page's Next checks the digits).
class UpperCaseValidator : public QValidator {
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

VidPidDlg::VidPidDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : WizardPageDlg(box, Buttons::BackAndNext, parent), m_page(std::move(settings)) {
  auto* upperCase = new UpperCaseValidator(this);

  AddText("VID (Vendor ID):", 53, 30, 240, 9);
  m_vid = AddEdit(kVidLimit, 53, 40, 40, 12);
  m_vid->setValidator(upperCase);
  AddText("Example: 3E7A (Hex value for device recognition)", 98, 42, 195, 9);

  AddText("PID (Product ID):", 53, 74, 240, 9);
  m_pid = AddEdit(kPidLimit, 53, 84, 40, 12);
  m_pid->setValidator(upperCase);
  AddText("Example: B2C9 (Hex value for device recognition)", 98, 86, 195, 9);

  // Shown while an ID is shorter than the four digits Windows reports.
  m_note = AddText("", 53, 110, 240, 40);
  m_note->setObjectName(QStringLiteral("shortIdNote"));
  connect(m_vid, &QLineEdit::textChanged, this, &VidPidDlg::ShowNote);
  connect(m_pid, &QLineEdit::textChanged, this, &VidPidDlg::ShowNote);

  UpdateControls();
}

void VidPidDlg::UpdateControls() {
  m_vid->setText(ToQString(m_page.m_vid));
  m_pid->setText(ToQString(m_page.m_pid));
  ShowNote();
}

void VidPidDlg::ShowNote() {
  m_note->setText(
      ToQString(VidPidPage::ShortIdNote(ToBytes(m_vid->text()), ToBytes(m_pid->text()))));
}

void VidPidDlg::UpdateData() {
  m_page.m_vid = ToBytes(m_vid->text());
  m_page.m_pid = ToBytes(m_pid->text());
}

bool VidPidDlg::OnNext() {
  UpdateData();
  return m_page.OnNext(Box());
}

void VidPidDlg::OnBack() {
  UpdateData();
  m_page.OnBack();
}

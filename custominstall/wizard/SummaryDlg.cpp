// Page 7: every setting at a glance, and Finish.
#include "wizard/SummaryDlg.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextDocument>

namespace {
constexpr std::string_view kSummaryLabels =
    "* Uninstall INI File Name:\n* INF File Names:\n\n* Short Name:\n* Long Name:\n\n* COM "
    "Device Name:\n* USB Device Name:\n\n* VID:\n* PID:\n\n*Use Preinstaller?\n*Display "
    "Setup?\n*Copy Files?\n*Target Directory:\n*Display Uninstall?\n*Leave Files?\n\n*Generation "
    "Directory:";
}  // namespace

CSummaryDlg::CSummaryDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : CWizardPageDlg(box, Buttons::BackAndFinish, parent), m_Page(std::move(settings)) {
  QLabel* labels = AddText(kSummaryLabels, 53, 7, 100, 170);
  labels->setWordWrap(false);

  m_pSummary = new QPlainTextEdit(this);
  m_pSummary->setGeometry(Units().Rect(155, 7, 138, 170));
  m_pSummary->setObjectName(QStringLiteral("edit1025"));
  m_pSummary->setReadOnly(true);
  m_pSummary->setFrameStyle(QFrame::NoFrame);
  m_pSummary->setLineWrapMode(QPlainTextEdit::NoWrap);
  m_pSummary->setFocusPolicy(Qt::StrongFocus);
  // Borderless and flush with the labels, so each value stands beside its label.
  m_pSummary->document()->setDocumentMargin(0);
  m_pSummary->setBackgroundRole(QPalette::Window);
  m_pSummary->viewport()->setBackgroundRole(QPalette::Window);
  UpdateControls();
}

void CSummaryDlg::UpdateControls() {
  // The text's lines are joined by CR LF; the box breaks lines at LF alone.
  QString text = ToQString(m_Page.GetSummaryText());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  m_pSummary->setPlainText(text);
}

bool CSummaryDlg::OnNext() {
  if (m_Page.OnFinish(Box())) {
    EndWizard();
  }
  return false;
}

// Page 7: every setting at a glance, and Finish.
#include "wizard/SummaryDlg.h"

#include <QAbstractTextDocumentLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

namespace {
constexpr std::string_view kSummaryLabels =
    "* Uninstall INI File Name:\n* INF File Names:\n\n* Short Name:\n* Long Name:\n\n* COM "
    "Device Name:\n* USB Device Name:\n\n* VID:\n* PID:\n\n*Use Preinstaller?\n*Display "
    "Setup?\n*Copy Files?\n*Target Directory:\n*Display Uninstall?\n*Leave Files?\n\n*Generation "
    "Directory:";
}  // namespace

CSummaryDlg::CSummaryDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : CWizardPageDlg(box, Buttons::BackAndFinish, parent), m_Page(std::move(settings)) {
  m_pLabels = AddText(kSummaryLabels, 53, 7, 100, 170);
  m_pLabels->setWordWrap(false);

  m_pSummary = new QPlainTextEdit(this);
  m_pSummary->setGeometry(Units().Rect(155, 7, 138, 170));
  m_pSummary->setObjectName(QStringLiteral("edit1025"));
  m_pSummary->setReadOnly(true);
  m_pSummary->setFrameStyle(QFrame::NoFrame);
  // Every line shows whole: a long value (a deep generation folder, a long name) wraps
  // inside the box, at a word boundary where it has one, instead of hiding behind a
  // scroll bar; AlignLabels keeps each label beside the first line of its value.
  m_pSummary->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_pSummary->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  m_pSummary->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
  AlignLabels();
}

void CSummaryDlg::AlignLabels() {
  // A vertical scroll bar would narrow the box and wrap more lines; leave it off while
  // every line fits without it.
  m_pSummary->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  if (VisualLineCount() * m_pSummary->fontMetrics().lineSpacing() >
      m_pSummary->viewport()->height()) {
    m_pSummary->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  }
  const QStringList labels = ToQString(kSummaryLabels).split(QLatin1Char('\n'));
  QAbstractTextDocumentLayout* layout = m_pSummary->document()->documentLayout();
  QStringList lines;
  QTextBlock block = m_pSummary->document()->begin();
  for (const QString& label : labels) {
    lines.append(label);
    if (!block.isValid()) {
      continue;
    }
    layout->blockBoundingRect(block);  // lays the block out at the box's width
    const int extra = block.layout() != nullptr ? block.layout()->lineCount() - 1 : 0;
    for (int i = 0; i < extra; ++i) {
      lines.append(QString());
    }
    block = block.next();
  }
  m_pLabels->setText(lines.join(QLatin1Char('\n')));
}

int CSummaryDlg::VisualLineCount() const {
  QAbstractTextDocumentLayout* layout = m_pSummary->document()->documentLayout();
  int count = 0;
  for (QTextBlock block = m_pSummary->document()->begin(); block.isValid(); block = block.next()) {
    layout->blockBoundingRect(block);  // lays the block out at the box's width
    count += block.layout() != nullptr ? block.layout()->lineCount() : 1;
  }
  return count;
}

void CSummaryDlg::showEvent(QShowEvent* event) {
  CWizardPageDlg::showEvent(event);
  // Only now has the box its final width, which decides where the values wrap.
  AlignLabels();
}

bool CSummaryDlg::OnNext() {
  if (m_Page.OnFinish(Box())) {
    EndWizard();
  }
  return false;
}

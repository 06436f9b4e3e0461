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

SummaryDlg::SummaryDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : WizardPageDlg(box, Buttons::BackAndFinish, parent), m_page(std::move(settings)) {
  m_labels = AddText(kSummaryLabels, 53, 7, 100, 170);
  m_labels->setWordWrap(false);

  m_summary = new QPlainTextEdit(this);
  m_summary->setGeometry(Units().Rect(155, 7, 138, 170));
  m_summary->setObjectName(QStringLiteral("edit1025"));
  m_summary->setReadOnly(true);
  m_summary->setFrameStyle(QFrame::NoFrame);
  // Every line shows whole: a long value (a deep generation folder, a long name) wraps
  // inside the box, at a word boundary where it has one, instead of hiding behind a
  // scroll bar; AlignLabels keeps each label beside the first line of its value.
  m_summary->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  m_summary->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  m_summary->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  m_summary->setFocusPolicy(Qt::StrongFocus);
  // Borderless and flush with the labels, so each value stands beside its label.
  m_summary->document()->setDocumentMargin(0);
  m_summary->setBackgroundRole(QPalette::Window);
  m_summary->viewport()->setBackgroundRole(QPalette::Window);
  UpdateControls();
}

void SummaryDlg::UpdateControls() {
  // The text's lines are joined by CR LF; the box breaks lines at LF alone.
  QString text = ToQString(m_page.GetSummaryText());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  m_summary->setPlainText(text);
  AlignLabels();
}

void SummaryDlg::AlignLabels() {
  // A vertical scroll bar would narrow the box and wrap more lines; leave it off while
  // every line fits without it.
  m_summary->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  if (VisualLineCount() * m_summary->fontMetrics().lineSpacing() >
      m_summary->viewport()->height()) {
    m_summary->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  }
  const QStringList labels = ToQString(kSummaryLabels).split(QLatin1Char('\n'));
  QAbstractTextDocumentLayout* layout = m_summary->document()->documentLayout();
  QStringList lines;
  QTextBlock block = m_summary->document()->begin();
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
  m_labels->setText(lines.join(QLatin1Char('\n')));
}

int SummaryDlg::VisualLineCount() const {
  QAbstractTextDocumentLayout* layout = m_summary->document()->documentLayout();
  int count = 0;
  for (QTextBlock block = m_summary->document()->begin(); block.isValid(); block = block.next()) {
    layout->blockBoundingRect(block);  // lays the block out at the box's width
    count += block.layout() != nullptr ? block.layout()->lineCount() : 1;
  }
  return count;
}

void SummaryDlg::showEvent(QShowEvent* event) {
  WizardPageDlg::showEvent(event);
  // Only now has the box its final width, which decides where the values wrap.
  AlignLabels();
}

bool SummaryDlg::OnNext() {
  if (m_page.OnFinish(Box())) {
    EndWizard();
  }
  return false;
}

// Help window: the HTML help text built into the program.
#include "window/HelpDlg.h"

#include "window/DialogLook.h"
#include "window/WindowTexts.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
const char* const kHelpResource = ":/tarvix/help.html";
constexpr int kWidthPixels = 560;
constexpr int kHeightPixels = 480;
}  // namespace

HelpDlg::HelpDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Utf8(wnd::kHelpCaption));
  setFont(DialogFont({QStringLiteral("굴림")}));
  m_browser = new QTextBrowser(this);
  m_browser->setOpenExternalLinks(false);
  QFile help(QString::fromLatin1(kHelpResource));
  if (help.open(QIODevice::ReadOnly))
    m_browser->setHtml(QString::fromUtf8(help.readAll()));
  else
    m_browser->setPlainText(QStringLiteral("The help text is missing from this build."));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &HelpDlg::reject);
  auto* column = new QVBoxLayout(this);
  column->addWidget(m_browser);
  column->addWidget(buttons);
  resize(kWidthPixels, kHeightPixels);
}

QString HelpDlg::PlainText() const {
  return m_browser->toPlainText();
}

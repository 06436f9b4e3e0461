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

CHelpDlg::CHelpDlg(QWidget* pParent) : QDialog(pParent) {
  setWindowTitle(Utf8(wnd::kHelpCaption));
  setFont(DialogFont({QStringLiteral("굴림")}));
  m_pBrowser = new QTextBrowser(this);
  m_pBrowser->setOpenExternalLinks(false);
  QFile help(QString::fromLatin1(kHelpResource));
  if (help.open(QIODevice::ReadOnly))
    m_pBrowser->setHtml(QString::fromUtf8(help.readAll()));
  else
    m_pBrowser->setPlainText(QStringLiteral("The help text is missing from this build."));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &CHelpDlg::reject);
  auto* column = new QVBoxLayout(this);
  column->addWidget(m_pBrowser);
  column->addWidget(buttons);
  resize(kWidthPixels, kHeightPixels);
}

QString CHelpDlg::PlainText() const {
  return m_pBrowser->toPlainText();
}

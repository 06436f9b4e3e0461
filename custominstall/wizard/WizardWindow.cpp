// The one window of the wizard.
#include "wizard/WizardWindow.h"

#include <QCloseEvent>
#include <QLabel>

#include "wizard/Artwork.h"
#include "wizard/WizardPageDlg.h"

WizardWindow::WizardWindow(const QString& notice, QWidget* parent) : QWidget(parent) {
  setWindowTitle(WizardPageDlg::ToQString(WizardPageDlg::kCaption));
  setWindowIcon(AppIcon());
  // A fixed-size window with a close box but no help or resize handle, like each page was.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  const DialogUnits units(font());
  QSize size = units.Size(WizardPageDlg::kWidth, WizardPageDlg::kHeight);
  if (!notice.isEmpty()) {
    m_notice = new QLabel(notice, this);
    m_notice->setObjectName(QStringLiteral("placeholderNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_notice->setMargin(units.X(3));
    // As wide as the page's content, as high as the text needs at that width.
    const int width = units.X(WizardPageDlg::kWidth - 14);
    const int height = m_notice->heightForWidth(width);
    m_notice->setGeometry(units.X(7), size.height(), width, height);
    m_notice->hide();
    size.rheight() += height + units.Y(7);
  }
  setFixedSize(size);
}

void WizardWindow::SetPage(WizardPageDlg* page, bool showNotice) {
  m_page = page;
  page->setParent(this, Qt::Widget);
  page->move(0, 0);
  if (m_notice != nullptr) {
    m_notice->setVisible(showNotice);
  }
  page->show();
}

void WizardWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (WizardPageDlg* page = m_page.data(); page != nullptr) {
    page->reject();
  }
}

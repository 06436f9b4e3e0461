// The one window of the wizard.
#include "wizard/WizardWindow.h"

#include <QCloseEvent>
#include <QLabel>

#include "wizard/Artwork.h"
#include "wizard/WizardPageDlg.h"

CWizardWindow::CWizardWindow(const QString& notice, QWidget* parent) : QWidget(parent) {
  setWindowTitle(CWizardPageDlg::ToQString(CWizardPageDlg::kCaption));
  setWindowIcon(AppIcon());
  // A fixed-size window with a close box but no help or resize handle, like each page was.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  const CDialogUnits units(font());
  QSize size = units.Size(CWizardPageDlg::kWidth, CWizardPageDlg::kHeight);
  if (!notice.isEmpty()) {
    m_pNotice = new QLabel(notice, this);
    m_pNotice->setObjectName(QStringLiteral("placeholderNotice"));
    m_pNotice->setTextFormat(Qt::PlainText);
    m_pNotice->setWordWrap(true);
    m_pNotice->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_pNotice->setMargin(units.X(3));
    // As wide as the page's content, as high as the text needs at that width.
    const int width = units.X(CWizardPageDlg::kWidth - 14);
    const int height = m_pNotice->heightForWidth(width);
    m_pNotice->setGeometry(units.X(7), size.height(), width, height);
    m_pNotice->hide();
    size.rheight() += height + units.Y(7);
  }
  setFixedSize(size);
}

void CWizardWindow::SetPage(CWizardPageDlg* page, bool showNotice) {
  m_pPage = page;
  page->setParent(this, Qt::Widget);
  page->move(0, 0);
  if (m_pNotice != nullptr) {
    m_pNotice->setVisible(showNotice);
  }
  page->show();
}

void CWizardWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (CWizardPageDlg* page = m_pPage.data(); page != nullptr) {
    page->reject();
  }
}

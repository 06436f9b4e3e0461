// The frame shared by every wizard page.
#include "wizard/WizardPageDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "wizard/Artwork.h"

CWizardPageDlg::CWizardPageDlg(IMessageBox& box, Buttons buttons, QWidget* parent)
    : QDialog(parent), m_Box(box), m_Units(font()) {
  setWindowTitle(ToQString(kCaption));
  setWindowIcon(AppIcon());
  // A fixed-size page with a close box but no help or resize handle.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(m_Units.Size(kWidth, kHeight));

  auto* picture = new QLabel(this);
  const QRect pictureRect = m_Units.Rect(7, 7, 39, 190);
  picture->setGeometry(pictureRect);
  picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picture->setLineWidth(1);
  const QSize inner = pictureRect.size() - QSize(2, 2);
  picture->setPixmap(SidePicture(inner, devicePixelRatioF()));
  picture->setObjectName(QStringLiteral("picture132"));

  // Alt+C, Alt+B, Alt+N and Alt+F reach the bottom row from anywhere on the page.
  m_pCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  m_pCancel->setGeometry(m_Units.Rect(132, 183, 50, 14));
  m_pCancel->setObjectName(QStringLiteral("button1023"));
  m_pCancel->setAutoDefault(false);
  connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);

  m_pBack = new QPushButton(QStringLiteral("< &Back"), this);
  m_pBack->setGeometry(m_Units.Rect(188, 183, 50, 14));
  m_pBack->setObjectName(QStringLiteral("button1005"));
  m_pBack->setAutoDefault(false);
  m_pBack->setVisible(buttons != Buttons::NextOnly);
  connect(m_pBack, &QPushButton::clicked, this, &CWizardPageDlg::OnBackClicked);

  const bool finish = buttons == Buttons::BackAndFinish;
  m_pNext = new QPushButton(finish ? QStringLiteral("&Finish") : QStringLiteral("&Next >"), this);
  m_pNext->setGeometry(m_Units.Rect(243, 183, 50, 14));
  m_pNext->setObjectName(QStringLiteral("button1004"));
  m_pNext->setDefault(true);
  connect(m_pNext, &QPushButton::clicked, this, &CWizardPageDlg::OnNextClicked);
}

QLabel* CWizardPageDlg::AddText(std::string_view text, int x, int y, int width, int height) {
  auto* label = new QLabel(ToQString(text), this);
  label->setGeometry(m_Units.Rect(x, y, width, height));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLineEdit* CWizardPageDlg::AddEdit(int limit, int x, int y, int width, int height) {
  auto* edit = new QLineEdit(this);
  edit->setGeometry(m_Units.Rect(x, y, width, height));
  edit->setMaxLength(limit);
  return edit;
}

QString CWizardPageDlg::ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string CWizardPageDlg::ToBytes(const QString& text) {
  return text.toStdString();
}

void CWizardPageDlg::EndWizard() {
  m_Exit = PageExit::Close;
  accept();
}

void CWizardPageDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_bTabOrderArranged) {
    m_bTabOrderArranged = true;
    ArrangeTabOrder();
  }
}

void CWizardPageDlg::ArrangeTabOrder() {
  // The frame makes its buttons before the page makes its controls, so without this the
  // focus would start on Cancel.
  QList<QWidget*> order;
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const bool bottomRow = child == m_pCancel || child == m_pBack || child == m_pNext;
    if (!bottomRow && (child->focusPolicy() & Qt::TabFocus) != 0) {
      order.append(child);
    }
  }
  QWidget* const first = order.isEmpty() ? m_pNext : order.front();
  order.append({m_pBack, m_pNext, m_pCancel});
  for (qsizetype i = 0; i + 1 < order.size(); ++i) {
    QWidget::setTabOrder(order[i], order[i + 1]);
  }
  first->setFocus(Qt::TabFocusReason);
}

void CWizardPageDlg::OnNextClicked() {
  if (!OnNext()) {
    UpdateControls();
    return;
  }
  m_Exit = PageExit::Next;
  accept();
}

void CWizardPageDlg::OnBackClicked() {
  OnBack();
  m_Exit = PageExit::Back;
  accept();
}

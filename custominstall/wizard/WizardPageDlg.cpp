// The frame shared by every wizard page.
#include "wizard/WizardPageDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "wizard/Artwork.h"

WizardPageDlg::WizardPageDlg(IMessageBox& box, Buttons buttons, QWidget* parent)
    : QDialog(parent), m_box(box), m_units(font()) {
  setWindowTitle(ToQString(kCaption));
  setWindowIcon(AppIcon());
  // A fixed-size page with a close box but no help or resize handle.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(m_units.Size(kWidth, kHeight));

  auto* picture = new QLabel(this);
  const QRect pictureRect = m_units.Rect(7, 7, 39, 190);
  picture->setGeometry(pictureRect);
  picture->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  picture->setLineWidth(1);
  const QSize inner = pictureRect.size() - QSize(2, 2);
  picture->setPixmap(SidePicture(inner, devicePixelRatioF()));
  picture->setObjectName(QStringLiteral("picture132"));

  // Alt+C, Alt+B, Alt+N and Alt+F reach the bottom row from anywhere on the page.
  m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
  m_cancel->setGeometry(m_units.Rect(132, 183, 50, 14));
  m_cancel->setObjectName(QStringLiteral("button1023"));
  m_cancel->setAutoDefault(false);
  connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

  m_back = new QPushButton(QStringLiteral("< &Back"), this);
  m_back->setGeometry(m_units.Rect(188, 183, 50, 14));
  m_back->setObjectName(QStringLiteral("button1005"));
  m_back->setAutoDefault(false);
  m_back->setVisible(buttons != Buttons::NextOnly);
  connect(m_back, &QPushButton::clicked, this, &WizardPageDlg::OnBackClicked);

  const bool finish = buttons == Buttons::BackAndFinish;
  m_next = new QPushButton(finish ? QStringLiteral("&Finish") : QStringLiteral("&Next >"), this);
  m_next->setGeometry(m_units.Rect(243, 183, 50, 14));
  m_next->setObjectName(QStringLiteral("button1004"));
  m_next->setDefault(true);
  connect(m_next, &QPushButton::clicked, this, &WizardPageDlg::OnNextClicked);
}

QLabel* WizardPageDlg::AddText(std::string_view text, int x, int y, int width, int height) {
  auto* label = new QLabel(ToQString(text), this);
  label->setGeometry(m_units.Rect(x, y, width, height));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLineEdit* WizardPageDlg::AddEdit(int limit, int x, int y, int width, int height) {
  auto* edit = new QLineEdit(this);
  edit->setGeometry(m_units.Rect(x, y, width, height));
  edit->setMaxLength(limit);
  return edit;
}

QString WizardPageDlg::ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string WizardPageDlg::ToBytes(const QString& text) {
  return text.toStdString();
}

void WizardPageDlg::EndWizard() {
  m_exit = PageExit::Close;
  accept();
}

void WizardPageDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!m_tabOrderArranged) {
    m_tabOrderArranged = true;
    ArrangeTabOrder();
  }
}

void WizardPageDlg::ArrangeTabOrder() {
  // The frame makes its buttons before the page makes its controls, so without this the
  // focus would start on Cancel.
  QList<QWidget*> order;
  for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const bool bottomRow = child == m_cancel || child == m_back || child == m_next;
    if (!bottomRow && (child->focusPolicy() & Qt::TabFocus) != 0) {
      order.append(child);
    }
  }
  QWidget* const first = order.isEmpty() ? m_next : order.front();
  order.append({m_back, m_next, m_cancel});
  for (qsizetype i = 0; i + 1 < order.size(); ++i) {
    QWidget::setTabOrder(order[i], order[i + 1]);
  }
  first->setFocus(Qt::TabFocusReason);
}

void WizardPageDlg::OnNextClicked() {
  if (!OnNext()) {
    UpdateControls();
    return;
  }
  m_exit = PageExit::Next;
  accept();
}

void WizardPageDlg::OnBackClicked() {
  OnBack();
  m_exit = PageExit::Back;
  accept();
}

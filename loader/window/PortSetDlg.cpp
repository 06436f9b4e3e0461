// The port-settings dialog's widgets; its rules live in PortSetRules.
#include "window/PortSetDlg.h"

#include "window/DialogLook.h"
#include "window/WindowTexts.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kWidthDlu = 165;
constexpr int kHeightDlu = 191;

const char* const kShownText = "shownText";

QString IdName(int id) {
  return QString::number(id);
}

/// Checks button `index` of an exclusive group, or none for -1.
void SetRadioIndex(QButtonGroup& group, int index) {
  if (QAbstractButton* button = group.button(index)) {
    button->setChecked(true);
    return;
  }
  // An exclusive group refuses to uncheck its last button; lift that briefly.
  group.setExclusive(false);
  for (QAbstractButton* button : group.buttons()) button->setChecked(false);
  group.setExclusive(true);
}

/// Stores the edit's text into `value` unless it still shows `value`: the
/// command's own bytes survive even when they are not valid UTF-8 or longer
/// than an edit holds.
void TakeEditText(const QLineEdit& edit, std::string& value) {
  if (edit.text() != edit.property(kShownText).toString()) value = edit.text().toStdString();
}

void ShowEditText(QLineEdit& edit, const std::string& value) {
  edit.setText(Utf8(value));
  edit.setProperty(kShownText, edit.text());
}

template <std::size_t N>
QButtonGroup* MakeGroup(QObject* parent, const std::array<QRadioButton*, N>& buttons) {
  auto* group = new QButtonGroup(parent);
  for (std::size_t i = 0; i < N; ++i) group->addButton(buttons[i], static_cast<int>(i));
  return group;
}

}  // namespace

CPortSetDlg::CPortSetDlg(int nBaudIndex, int nPort, int nCommType, const std::string& strModemInit,
                         QWidget* pParent, PortDeviceList devices,
                         std::vector<std::string> adapters)
    : QDialog(pParent),
      m_Devices(std::move(devices)),
      m_Adapters(std::move(adapters)),
      m_Values(MakePortSetValues(nBaudIndex, nPort, nCommType, strModemInit)) {
  setWindowTitle(Utf8(portset::kCaption));
  setFont(DialogFont({QStringLiteral("새굴림"), QStringLiteral("굴림")}));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  CreateControls();
  OnInitDialog();
}

void CPortSetDlg::CreateControls() {
  using namespace portset;
  // Created in the order of the template, so tab order and groups follow it.
  m_pOk = new QPushButton(Utf8(kOk), this);
  m_pOk->setObjectName(IdName(1));
  m_pOk->setDefault(true);
  m_pCancel = new QPushButton(Utf8(kCancel), this);
  m_pCancel->setObjectName(IdName(2));
  connect(m_pOk, &QPushButton::clicked, this, &CPortSetDlg::accept);
  connect(m_pCancel, &QPushButton::clicked, this, &CPortSetDlg::reject);

  auto* portBox = new QGroupBox(Utf8(kPortGroup), this);
  auto* portGrid = new QGridLayout(portBox);
  for (int i = 0; i < kPortButtons; ++i) {
    auto* button = new QRadioButton(Utf8(kPortTexts[static_cast<std::size_t>(i)]), portBox);
    button->setObjectName(IdName(kPortIds[static_cast<std::size_t>(i)]));
    portGrid->addWidget(button, i % 4, i / 4);
    m_PortButtons[static_cast<std::size_t>(i)] = button;
  }

  auto* typeBox = new QGroupBox(Utf8(kTypeGroup), this);
  auto* typeRow = new QHBoxLayout(typeBox);
  m_TypeButtons[kTypeModem] = new QRadioButton(Utf8(kModem), typeBox);
  m_TypeButtons[kTypeModem]->setObjectName(IdName(kModemId));
  // Modem mode comes only from the configuration file; the dialog can leave it
  // but not enter it.
  m_TypeButtons[kTypeModem]->setEnabled(false);
  m_TypeButtons[kTypeRs232c] = new QRadioButton(Utf8(kRs232c), typeBox);
  m_TypeButtons[kTypeRs232c]->setObjectName(IdName(kRs232cId));
  typeRow->addWidget(m_TypeButtons[kTypeModem]);
  typeRow->addWidget(m_TypeButtons[kTypeRs232c]);

  auto* rateBox = new QGroupBox(Utf8(kRateGroup), this);
  auto* rateGrid = new QGridLayout(rateBox);
  for (int i = 0; i < kRateButtons; ++i) {
    auto* button = new QRadioButton(Utf8(RateAt(i).strButtonText), rateBox);
    button->setObjectName(IdName(kRateIds[static_cast<std::size_t>(i)]));
    rateGrid->addWidget(button, i % 5, i / 5);
    m_RateButtons[static_cast<std::size_t>(i)] = button;
  }

  m_pModemLabel = new QLineEdit(this);
  m_pModemLabel->setObjectName(IdName(kModemLabelId));
  m_pModemInit = new QLineEdit(this);
  m_pModemInit->setObjectName(IdName(kModemInitId));
  for (QLineEdit* edit : {m_pModemLabel, m_pModemInit}) {
    edit->setEnabled(false);
    edit->hide();
  }

  m_pPortGroup = MakeGroup(this, m_PortButtons);
  m_pTypeGroup = MakeGroup(this, m_TypeButtons);
  m_pRateGroup = MakeGroup(this, m_RateButtons);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(m_pOk);
  buttons->addWidget(m_pCancel);
  buttons->addStretch();
  auto* top = new QGridLayout(this);
  top->addWidget(portBox, 0, 0);
  top->addLayout(buttons, 0, 1, 2, 1);
  top->addWidget(typeBox, 1, 0);
  top->addWidget(rateBox, 2, 0, 1, 2);
  CreateDeviceRows(*top);

  const QSize templateSize = DialogUnitsToPixels(font(), kWidthDlu, kHeightDlu);
  setFixedSize(templateSize.expandedTo(sizeHint()));
}

void CPortSetDlg::CreateDeviceRows(QGridLayout& top) {
  using namespace wnd;
  auto* rows = new QGridLayout;
  auto* deviceLabel = new QLabel(Utf8(kPortDeviceLabel), this);
  m_pDevice = new QLabel(this);
  m_pDevice->setObjectName(QStringLiteral("portDevice"));
  m_pDevice->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pDevice->setWordWrap(true);
  m_pAdapters = new QComboBox(this);
  m_pAdapters->setObjectName(QStringLiteral("serialAdapters"));
  m_pAdapters->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_pAdapters->setMinimumContentsLength(24);
  auto* adapterLabel = new QLabel(Utf8(kAdapterLabel), this);
  adapterLabel->setBuddy(m_pAdapters);
  if (m_Adapters.empty()) {
    m_pAdapters->addItem(Utf8(kNoAdapterFound));
    m_pAdapters->setEnabled(false);
  } else {
    m_pAdapters->addItem(Utf8(kKeepDevice));
    for (const std::string& adapter : m_Adapters) {
      m_pAdapters->addItem(QFile::decodeName(QByteArray::fromStdString(adapter)));
    }
  }
  // A long by-id name wraps onto more lines; its label stays by the first.
  rows->addWidget(deviceLabel, 0, 0, Qt::AlignTop);
  rows->addWidget(m_pDevice, 0, 1);
  rows->addWidget(adapterLabel, 1, 0);
  rows->addWidget(m_pAdapters, 1, 1);
  rows->setColumnStretch(1, 1);
  top.addLayout(rows, 3, 0, 1, 2);

  for (std::size_t i = 0; i < m_PortButtons.size(); ++i) {
    m_PortButtons[i]->setToolTip(QFile::decodeName(QByteArray::fromStdString(m_Devices[i])));
  }
  connect(m_pPortGroup, &QButtonGroup::idClicked, this, [this] {
    m_pAdapters->setCurrentIndex(0);
    ShowDevice();
  });
  connect(m_pAdapters, &QComboBox::currentIndexChanged, this, [this] { ShowDevice(); });
}

void CPortSetDlg::ShowDevice() {
  const int port = m_pPortGroup->checkedId();
  const int adapter = m_Adapters.empty() ? 0 : m_pAdapters->currentIndex();
  std::string device;
  if (adapter > 0) {
    device = m_Adapters[static_cast<std::size_t>(adapter - 1)];
  } else if (port >= 0) {
    device = m_Devices[static_cast<std::size_t>(port)];
  }
  m_pDevice->setText(QFile::decodeName(QByteArray::fromStdString(device)));
}

std::optional<std::string> CPortSetDlg::ChosenDevice() const {
  const int adapter = m_Adapters.empty() ? 0 : m_pAdapters->currentIndex();
  if (adapter <= 0 || m_Values.m_nPort < 0) return std::nullopt;
  return m_Adapters[static_cast<std::size_t>(adapter - 1)];
}

void CPortSetDlg::OnInitDialog() {
  UpdateData(false);
  ShowDevice();
  const RateLimits limits = ApplyRateLimits(m_Values);
  SetRadioIndex(*m_pRateGroup, RadioIndex(m_Values.m_nBaud, portset::kRateButtons));
  for (std::size_t i = 0; i < m_RateButtons.size(); ++i)
    m_RateButtons[i]->setEnabled(limits.bRateEnabled[i]);
  m_pModemInit->setEnabled(limits.bModemInitEnabled);
}

void CPortSetDlg::UpdateData(bool bSaveAndValidate) {
  using namespace portset;
  if (bSaveAndValidate) {
    // checkedId() is -1 when no button of the group is selected.
    m_Values.m_nBaud = m_pRateGroup->checkedId();
    m_Values.m_nPort = m_pPortGroup->checkedId();
    m_Values.m_nCommType = m_pTypeGroup->checkedId();
    TakeEditText(*m_pModemInit, m_Values.m_strModemInit);
    TakeEditText(*m_pModemLabel, m_Values.m_strModemLabel);
    return;
  }
  SetRadioIndex(*m_pRateGroup, RadioIndex(m_Values.m_nBaud, kRateButtons));
  SetRadioIndex(*m_pPortGroup, RadioIndex(m_Values.m_nPort, kPortButtons));
  SetRadioIndex(*m_pTypeGroup, RadioIndex(m_Values.m_nCommType, kTypeButtons));
  ShowEditText(*m_pModemInit, m_Values.m_strModemInit);
  ShowEditText(*m_pModemLabel, m_Values.m_strModemLabel);
}

void CPortSetDlg::accept() {
  UpdateData(true);
  QDialog::accept();
}

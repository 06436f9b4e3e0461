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

PortSetDlg::PortSetDlg(int baudIndex, int port, int commType, const std::string& modemInit,
                       QWidget* parent, PortDeviceList devices, std::vector<std::string> adapters)
    : QDialog(parent),
      m_devices(std::move(devices)),
      m_adapters(std::move(adapters)),
      m_values(MakePortSetValues(baudIndex, port, commType, modemInit)) {
  setWindowTitle(Utf8(portset::kCaption));
  setFont(DialogFont({QStringLiteral("새굴림"), QStringLiteral("굴림")}));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  CreateControls();
  OnInitDialog();
}

void PortSetDlg::CreateControls() {
  using namespace portset;
  // Created in the order of the template, so tab order and groups follow it.
  m_ok = new QPushButton(Utf8(kOk), this);
  m_ok->setObjectName(IdName(1));
  m_ok->setDefault(true);
  m_cancel = new QPushButton(Utf8(kCancel), this);
  m_cancel->setObjectName(IdName(2));
  connect(m_ok, &QPushButton::clicked, this, &PortSetDlg::accept);
  connect(m_cancel, &QPushButton::clicked, this, &PortSetDlg::reject);

  auto* portBox = new QGroupBox(Utf8(kPortGroup), this);
  auto* portGrid = new QGridLayout(portBox);
  for (int i = 0; i < kPortButtons; ++i) {
    auto* button = new QRadioButton(Utf8(kPortTexts[static_cast<std::size_t>(i)]), portBox);
    button->setObjectName(IdName(kPortIds[static_cast<std::size_t>(i)]));
    portGrid->addWidget(button, i % 4, i / 4);
    m_portButtons[static_cast<std::size_t>(i)] = button;
  }

  auto* typeBox = new QGroupBox(Utf8(kTypeGroup), this);
  auto* typeRow = new QHBoxLayout(typeBox);
  m_typeButtons[kTypeModem] = new QRadioButton(Utf8(kModem), typeBox);
  m_typeButtons[kTypeModem]->setObjectName(IdName(kModemId));
  // Modem mode comes only from the configuration file; the dialog can leave it
  // but not enter it.
  m_typeButtons[kTypeModem]->setEnabled(false);
  m_typeButtons[kTypeRs232c] = new QRadioButton(Utf8(kRs232c), typeBox);
  m_typeButtons[kTypeRs232c]->setObjectName(IdName(kRs232cId));
  typeRow->addWidget(m_typeButtons[kTypeModem]);
  typeRow->addWidget(m_typeButtons[kTypeRs232c]);

  auto* rateBox = new QGroupBox(Utf8(kRateGroup), this);
  auto* rateGrid = new QGridLayout(rateBox);
  for (int i = 0; i < kRateButtons; ++i) {
    auto* button = new QRadioButton(Utf8(RateAt(i).buttonText), rateBox);
    button->setObjectName(IdName(kRateIds[static_cast<std::size_t>(i)]));
    rateGrid->addWidget(button, i % 5, i / 5);
    m_rateButtons[static_cast<std::size_t>(i)] = button;
  }

  m_modemLabel = new QLineEdit(this);
  m_modemLabel->setObjectName(IdName(kModemLabelId));
  m_modemInit = new QLineEdit(this);
  m_modemInit->setObjectName(IdName(kModemInitId));
  for (QLineEdit* edit : {m_modemLabel, m_modemInit}) {
    edit->setEnabled(false);
    edit->hide();
  }

  m_portGroup = MakeGroup(this, m_portButtons);
  m_typeGroup = MakeGroup(this, m_typeButtons);
  m_rateGroup = MakeGroup(this, m_rateButtons);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(m_ok);
  buttons->addWidget(m_cancel);
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

void PortSetDlg::CreateDeviceRows(QGridLayout& top) {
  using namespace wnd;
  auto* rows = new QGridLayout;
  auto* deviceLabel = new QLabel(Utf8(kPortDeviceLabel), this);
  m_device = new QLabel(this);
  m_device->setObjectName(QStringLiteral("portDevice"));
  m_device->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_device->setWordWrap(true);
  m_adapterBox = new QComboBox(this);
  m_adapterBox->setObjectName(QStringLiteral("serialAdapters"));
  m_adapterBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  m_adapterBox->setMinimumContentsLength(24);
  auto* adapterLabel = new QLabel(Utf8(kAdapterLabel), this);
  adapterLabel->setBuddy(m_adapterBox);
  if (m_adapters.empty()) {
    m_adapterBox->addItem(Utf8(kNoAdapterFound));
    m_adapterBox->setEnabled(false);
  } else {
    m_adapterBox->addItem(Utf8(kKeepDevice));
    for (const std::string& adapter : m_adapters) {
      m_adapterBox->addItem(QFile::decodeName(QByteArray::fromStdString(adapter)));
    }
  }
  // A long by-id name wraps onto more lines; its label stays by the first.
  rows->addWidget(deviceLabel, 0, 0, Qt::AlignTop);
  rows->addWidget(m_device, 0, 1);
  rows->addWidget(adapterLabel, 1, 0);
  rows->addWidget(m_adapterBox, 1, 1);
  rows->setColumnStretch(1, 1);
  top.addLayout(rows, 3, 0, 1, 2);

  for (std::size_t i = 0; i < m_portButtons.size(); ++i) {
    m_portButtons[i]->setToolTip(QFile::decodeName(QByteArray::fromStdString(m_devices[i])));
  }
  connect(m_portGroup, &QButtonGroup::idClicked, this, [this] {
    m_adapterBox->setCurrentIndex(0);
    ShowDevice();
  });
  connect(m_adapterBox, &QComboBox::currentIndexChanged, this, [this] { ShowDevice(); });
}

void PortSetDlg::ShowDevice() {
  const int port = m_portGroup->checkedId();
  const int adapter = m_adapters.empty() ? 0 : m_adapterBox->currentIndex();
  std::string device;
  if (adapter > 0) {
    device = m_adapters[static_cast<std::size_t>(adapter - 1)];
  } else if (port >= 0) {
    device = m_devices[static_cast<std::size_t>(port)];
  }
  m_device->setText(QFile::decodeName(QByteArray::fromStdString(device)));
}

std::optional<std::string> PortSetDlg::ChosenDevice() const {
  const int adapter = m_adapters.empty() ? 0 : m_adapterBox->currentIndex();
  if (adapter <= 0 || m_values.m_port < 0) return std::nullopt;
  return m_adapters[static_cast<std::size_t>(adapter - 1)];
}

void PortSetDlg::OnInitDialog() {
  ShowValues();
  ShowDevice();
  const RateLimits limits = ApplyRateLimits(m_values);
  SetRadioIndex(*m_rateGroup, RadioIndex(m_values.m_baud, portset::kRateButtons));
  for (std::size_t i = 0; i < m_rateButtons.size(); ++i)
    m_rateButtons[i]->setEnabled(limits.rateEnabled[i]);
  m_modemInit->setEnabled(limits.modemInitEnabled);
}

void PortSetDlg::TakeValues() {
  // checkedId() is -1 when no button of the group is selected.
  m_values.m_baud = m_rateGroup->checkedId();
  m_values.m_port = m_portGroup->checkedId();
  m_values.m_commType = m_typeGroup->checkedId();
  TakeEditText(*m_modemInit, m_values.m_modemInit);
  TakeEditText(*m_modemLabel, m_values.m_modemLabel);
}

void PortSetDlg::ShowValues() {
  using namespace portset;
  SetRadioIndex(*m_rateGroup, RadioIndex(m_values.m_baud, kRateButtons));
  SetRadioIndex(*m_portGroup, RadioIndex(m_values.m_port, kPortButtons));
  SetRadioIndex(*m_typeGroup, RadioIndex(m_values.m_commType, kTypeButtons));
  ShowEditText(*m_modemInit, m_values.m_modemInit);
  ShowEditText(*m_modemLabel, m_values.m_modemLabel);
}

void PortSetDlg::accept() {
  TakeValues();
  QDialog::accept();
}

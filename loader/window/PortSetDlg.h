// The port-settings dialog: COM port, communication type and line rate of the
// serial channel, chosen with three radio groups.
#pragma once

#include "core/PortSetRules.h"

#include <QDialog>

#include <array>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

/// COM1..COM8 -> the device each stands for ([Ports]).
using PortDeviceList = std::array<std::string, portset::kPortButtons>;

/// Modal dialog "통신 포트 설정". Built from the channel's settings; after OK,
/// GetSetting() gives what the user chose. The rate buttons are limited by the
/// type once, when the dialog is built. It shows the device behind the chosen
/// COM name and offers the serial adapters found; choosing one maps that COM
/// name to it.
class PortSetDlg : public QDialog {
  Q_OBJECT
 public:
  PortSetDlg(int baudIndex, int port, int commType, const std::string& modemInit,
             QWidget* parent = nullptr, PortDeviceList devices = {},
             std::vector<std::string> adapters = {});

  /// The channel settings of the members (see ::GetSetting).
  PortSetting GetSetting() const { return ::GetSetting(m_values); }
  /// The adapter chosen for the selected COM name, if one was.
  std::optional<std::string> ChosenDevice() const;

  /// The members into the buttons and edits.
  void ShowValues();
  /// The buttons and edits into the members.
  void TakeValues();

  /// OK takes the controls into the members, then closes.
  void accept() override;

  /// The members (m_baud, m_port, m_commType, m_modemInit, m_modemLabel).
  const PortSetValues& Values() const { return m_values; }

 private:
  void CreateControls();
  void CreateDeviceRows(QGridLayout& top);
  void OnInitDialog();
  /// The device line and the adapter list follow the chosen COM name.
  void ShowDevice();

  PortDeviceList m_devices;
  std::vector<std::string> m_adapters;
  QLabel* m_device = nullptr;
  QComboBox* m_adapterBox = nullptr;

  PortSetValues m_values;
  QPushButton* m_ok = nullptr;
  QPushButton* m_cancel = nullptr;
  std::array<QRadioButton*, portset::kPortButtons> m_portButtons{};
  std::array<QRadioButton*, portset::kTypeButtons> m_typeButtons{};
  std::array<QRadioButton*, portset::kRateButtons> m_rateButtons{};
  QButtonGroup* m_portGroup = nullptr;
  QButtonGroup* m_typeGroup = nullptr;
  QButtonGroup* m_rateGroup = nullptr;
  QLineEdit* m_modemLabel = nullptr;  // edit 1048
  QLineEdit* m_modemInit = nullptr;   // edit 1049
};

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
class CPortSetDlg : public QDialog {
  Q_OBJECT
 public:
  CPortSetDlg(int nBaudIndex, int nPort, int nCommType, const std::string& strModemInit,
              QWidget* pParent = nullptr, PortDeviceList devices = {},
              std::vector<std::string> adapters = {});

  /// The channel settings of the members (see ::GetSetting).
  PortSetting GetSetting() const { return ::GetSetting(m_Values); }
  /// The adapter chosen for the selected COM name, if one was.
  std::optional<std::string> ChosenDevice() const;

  /// true: buttons and edits -> members; false: members -> buttons and edits.
  void UpdateData(bool bSaveAndValidate);

  /// OK takes the controls into the members, then closes.
  void accept() override;

  /// The members (m_nBaud, m_nPort, m_nCommType, m_strModemInit, m_strModemLabel).
  const PortSetValues& Values() const { return m_Values; }

 private:
  void CreateControls();
  void CreateDeviceRows(QGridLayout& top);
  void OnInitDialog();
  /// The device line and the adapter list follow the chosen COM name.
  void ShowDevice();

  PortDeviceList m_Devices;
  std::vector<std::string> m_Adapters;
  QLabel* m_pDevice = nullptr;
  QComboBox* m_pAdapters = nullptr;

  PortSetValues m_Values;
  QPushButton* m_pOk = nullptr;
  QPushButton* m_pCancel = nullptr;
  std::array<QRadioButton*, portset::kPortButtons> m_PortButtons{};
  std::array<QRadioButton*, portset::kTypeButtons> m_TypeButtons{};
  std::array<QRadioButton*, portset::kRateButtons> m_RateButtons{};
  QButtonGroup* m_pPortGroup = nullptr;
  QButtonGroup* m_pTypeGroup = nullptr;
  QButtonGroup* m_pRateGroup = nullptr;
  QLineEdit* m_pModemLabel = nullptr;  // edit 1048
  QLineEdit* m_pModemInit = nullptr;   // edit 1049
};

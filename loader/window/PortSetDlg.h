// The port-settings dialog: COM port, communication type and line rate of the
// serial channel, chosen with three radio groups.
#pragma once

#include "core/PortSetRules.h"

#include <QDialog>

#include <array>
#include <string>

class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

/// Modal dialog "통신 포트 설정". Built from the channel's settings; after OK,
/// GetSetting() gives what the user chose. The rate buttons are limited by the
/// type once, when the dialog is built.
class CPortSetDlg : public QDialog {
  Q_OBJECT
 public:
  CPortSetDlg(int nBaudIndex, int nPort, int nCommType, const std::string& strModemInit,
              QWidget* pParent = nullptr);

  /// The channel settings of the members (see ::GetSetting).
  PortSetting GetSetting() const { return ::GetSetting(m_Values); }

  /// true: buttons and edits -> members; false: members -> buttons and edits.
  void UpdateData(bool bSaveAndValidate);

  /// OK takes the controls into the members, then closes.
  void accept() override;

  /// The members (m_nBaud, m_nPort, m_nCommType, m_strModemInit, m_strModemLabel).
  const PortSetValues& Values() const { return m_Values; }

 private:
  void CreateControls();
  void OnInitDialog();

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

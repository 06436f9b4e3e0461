// Page 3: the COM and USB device names.
#pragma once

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class CDeviceNamesDlg : public CWizardPageDlg {
  Q_OBJECT

 public:
  CDeviceNamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_Page.Settings(); }

  QLineEdit* ComDeviceNameEdit() const { return m_pComDeviceName; }
  QLineEdit* UsbDeviceNameEdit() const { return m_pUsbDeviceName; }

 protected:
  bool OnNext() override;
  void OnBack() override;
  void UpdateControls() override;

 private:
  void UpdateData();

  CDeviceNamesPage m_Page;
  QLineEdit* m_pComDeviceName;  // 1006
  QLineEdit* m_pUsbDeviceName;  // 1007
};

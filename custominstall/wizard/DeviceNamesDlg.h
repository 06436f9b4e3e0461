// Page 3: the COM and USB device names.
#pragma once

#include "wizard/PageLogic.h"
#include "wizard/WizardPageDlg.h"

class DeviceNamesDlg : public WizardPageDlg {
  Q_OBJECT

 public:
  DeviceNamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent = nullptr);
  PackageSettings Settings() const override { return m_page.Settings(); }

  QLineEdit* ComDeviceNameEdit() const { return m_comDeviceName; }
  QLineEdit* UsbDeviceNameEdit() const { return m_usbDeviceName; }

 protected:
  bool OnNext() override;
  void OnBack() override;
  void UpdateControls() override;

 private:
  void UpdateData();

  DeviceNamesPage m_page;
  QLineEdit* m_comDeviceName;  // 1006
  QLineEdit* m_usbDeviceName;  // 1007
};

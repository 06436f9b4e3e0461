// Page 3: the COM and USB device names.
#include "wizard/DeviceNamesDlg.h"

#include <QLineEdit>

#include "settings/Validation.h"

DeviceNamesDlg::DeviceNamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : WizardPageDlg(box, Buttons::BackAndNext, parent), m_page(std::move(settings)) {
  AddText("COM Device Name:", 53, 14, 240, 9);
  m_comDeviceName = AddEdit(kComDeviceNameLimit, 53, 24, 240, 12);
  AddText(
      "Example: \"VB7350 USB to UART Bridge Controller\" (Name appears in Device Manager "
      "under the Ports tab)",
      53, 39, 240, 18);

  AddText("USB Device Name:", 53, 80, 240, 9);
  m_usbDeviceName = AddEdit(kUsbDeviceNameLimit, 53, 90, 240, 12);
  AddText(
      "Example: \"VB7350 USB Composite Device\"\n(Name appears in Device Manager under the USB "
      "tab)",
      53, 105, 240, 18);

  UpdateControls();
}

void DeviceNamesDlg::UpdateControls() {
  m_comDeviceName->setText(ToQString(m_page.m_comDeviceName));
  m_usbDeviceName->setText(ToQString(m_page.m_usbDeviceName));
}

void DeviceNamesDlg::UpdateData() {
  m_page.m_comDeviceName = ToBytes(m_comDeviceName->text());
  m_page.m_usbDeviceName = ToBytes(m_usbDeviceName->text());
}

bool DeviceNamesDlg::OnNext() {
  UpdateData();
  return m_page.OnNext(Box());
}

void DeviceNamesDlg::OnBack() {
  UpdateData();
  m_page.OnBack();
}

// Page 3: the COM and USB device names.
#include "wizard/DeviceNamesDlg.h"

#include <QLineEdit>

#include "settings/Validation.h"

CDeviceNamesDlg::CDeviceNamesDlg(IMessageBox& box, PackageSettings settings, QWidget* parent)
    : CWizardPageDlg(box, Buttons::BackAndNext, parent), m_Page(std::move(settings)) {
  AddText("COM Device Name:", 53, 14, 240, 9);
  m_pComDeviceName = AddEdit(kComDeviceNameLimit, 53, 24, 240, 12);
  AddText(
      "Example: \"VB7350 USB to UART Bridge Controller\" (Name appears in Device Manager "
      "under the Ports tab)",
      53, 39, 240, 18);

  AddText("USB Device Name:", 53, 80, 240, 9);
  m_pUsbDeviceName = AddEdit(kUsbDeviceNameLimit, 53, 90, 240, 12);
  AddText(
      "Example: \"VB7350 USB Composite Device\"\n(Name appears in Device Manager under the USB "
      "tab)",
      53, 105, 240, 18);

  UpdateControls();
}

void CDeviceNamesDlg::UpdateControls() {
  m_pComDeviceName->setText(ToQString(m_Page.m_strComDeviceName));
  m_pUsbDeviceName->setText(ToQString(m_Page.m_strUsbDeviceName));
}

void CDeviceNamesDlg::UpdateData() {
  m_Page.m_strComDeviceName = ToBytes(m_pComDeviceName->text());
  m_Page.m_strUsbDeviceName = ToBytes(m_pUsbDeviceName->text());
}

bool CDeviceNamesDlg::OnNext() {
  UpdateData();
  return m_Page.OnNext(Box());
}

void CDeviceNamesDlg::OnBack() {
  UpdateData();
  m_Page.OnBack();
}

// The serial port's part of a configuration.
#include "core/SerialSettings.h"

std::string PortDeviceOf(const LoaderConfig& cfg) {
  if (cfg.m_port < 1 || cfg.m_port > kPortCount) return {};
  return cfg.m_portDevices[static_cast<std::size_t>(cfg.m_port - 1)];
}

bool SerialSettingsDiffer(const LoaderConfig& a, const LoaderConfig& b) {
  if (a.m_noSerialPort != b.m_noSerialPort) return true;
  if (a.m_noSerialPort) return false;  // no port either way
  return a.m_port != b.m_port || PortDeviceOf(a) != PortDeviceOf(b) || LineSettingsDiffer(a, b);
}

bool LineSettingsDiffer(const LoaderConfig& a, const LoaderConfig& b) {
  // The reader takes its dispatch rule when the port opens, so a new rule means a reopen.
  return a.m_commType != b.m_commType || a.m_baudIndex != b.m_baudIndex ||
         (a.m_commType == kCommModem && a.m_modemInit != b.m_modemInit) ||
         a.m_frameDispatch != b.m_frameDispatch ||
         (a.m_frameDispatch && a.m_frameWaitMs != b.m_frameWaitMs);
}

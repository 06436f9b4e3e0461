// The serial port's part of a configuration.
#include "core/SerialSettings.h"

std::string PortDeviceOf(const LoaderConfig& cfg) {
  if (cfg.port < 1 || cfg.port > kPortCount) return {};
  return cfg.portDevices[static_cast<std::size_t>(cfg.port - 1)];
}

bool SerialSettingsDiffer(const LoaderConfig& a, const LoaderConfig& b) {
  if (a.noSerialPort != b.noSerialPort) return true;
  if (a.noSerialPort) return false;  // no port either way
  return a.port != b.port || PortDeviceOf(a) != PortDeviceOf(b) || LineSettingsDiffer(a, b);
}

bool LineSettingsDiffer(const LoaderConfig& a, const LoaderConfig& b) {
  // The reader takes its dispatch rule when the port opens, so a new rule means a reopen.
  return a.commType != b.commType || a.baudIndex != b.baudIndex ||
         (a.commType == kCommModem && a.modemInit != b.modemInit) ||
         a.frameDispatch != b.frameDispatch || (a.frameDispatch && a.frameWaitMs != b.frameWaitMs);
}

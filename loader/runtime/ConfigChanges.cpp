// Differences between two loads of Romvale.cfg.
#include "runtime/ConfigChanges.h"

#include "config/ConsoleText.h"

namespace {

std::string PortText(const LoaderConfig& cfg) {
  return cfg.m_bNoSerialPort ? "NONE" : "COM" + std::to_string(cfg.m_nPort);
}

std::string Device(const LoaderConfig& cfg) {
  if (cfg.m_nPort < 1 || cfg.m_nPort > kPortCount) return {};
  return cfg.m_PortDevices[static_cast<std::size_t>(cfg.m_nPort - 1)];
}

std::string TypeText(const LoaderConfig& cfg) {
  return cfg.m_nCommType == COMM_MODEM ? "MODEM" : "RS232";
}

std::string BaudText(const LoaderConfig& cfg) {
  return IsRateIndex(cfg.m_nBaudIndex) ? std::string(RateAt(cfg.m_nBaudIndex).strConfigText) : "?";
}

std::string AddressText(const LoaderConfig& cfg) {
  return cfg.m_strTcpAddress.empty() ? "every interface" : cfg.m_strTcpAddress;
}

void Compare(std::vector<std::string>& out, std::string_view key, const std::string& before,
             const std::string& after) {
  if (before == after) return;
  out.push_back(std::string(key) + " " + EscapeConsoleText(before) + " -> " +
                EscapeConsoleText(after));
}

}  // namespace

std::vector<std::string> DescribeConfigChanges(const LoaderConfig& a, const LoaderConfig& b) {
  std::vector<std::string> out;
  Compare(out, "ROMFILE", a.m_strRomDir, b.m_strRomDir);
  Compare(out, "BLLFILE", a.m_strBllDir, b.m_strBllDir);
  Compare(out, "PORT", PortText(a), PortText(b));
  Compare(out, "TYPE", TypeText(a), TypeText(b));
  Compare(out, "BAUD", BaudText(a), BaudText(b));
  Compare(out, "MODEM", a.m_strModemInit, b.m_strModemInit);
  Compare(out, "ROMTYPE", a.m_szRomTypes, b.m_szRomTypes);
  for (int port = 1; port <= kPortCount; ++port) {
    const auto i = static_cast<std::size_t>(port - 1);
    Compare(out, "[Ports] COM" + std::to_string(port), a.m_PortDevices[i], b.m_PortDevices[i]);
  }
  Compare(out, "TCPPACE", std::to_string(a.m_nTcpPace), std::to_string(b.m_nTcpPace));
  Compare(out, "TCPPORT", std::to_string(a.m_nTcpPort), std::to_string(b.m_nTcpPort));
  Compare(out, "TCPADDRESS", AddressText(a), AddressText(b));
  Compare(out, "RECONNECT", std::to_string(a.m_bReconnect), std::to_string(b.m_bReconnect));
  Compare(out, "SESSIONTIMEOUT", std::to_string(a.m_nSessionTimeoutSec),
          std::to_string(b.m_nSessionTimeoutSec));
  Compare(out, "TCPMAXCONN", std::to_string(a.m_nTcpMaxConn), std::to_string(b.m_nTcpMaxConn));
  Compare(out, "TCPIDLE", std::to_string(a.m_nTcpIdleSec), std::to_string(b.m_nTcpIdleSec));
  Compare(out, "DISPATCH", a.m_bFrameDispatch ? "FRAME" : "BURST",
          b.m_bFrameDispatch ? "FRAME" : "BURST");
  Compare(out, "FRAMEWAIT", std::to_string(a.m_nFrameWaitMs), std::to_string(b.m_nFrameWaitMs));
  Compare(out, "CONCURRENT", std::to_string(a.m_bConcurrent), std::to_string(b.m_bConcurrent));
  return out;
}

bool SerialSettingsDiffer(const LoaderConfig& a, const LoaderConfig& b) {
  if (a.m_bNoSerialPort != b.m_bNoSerialPort) return true;
  if (a.m_bNoSerialPort) return false;  // no port either way
  // The reader takes its dispatch rule when the port opens, so a new rule means a reopen.
  return a.m_nPort != b.m_nPort || Device(a) != Device(b) || a.m_nCommType != b.m_nCommType ||
         a.m_nBaudIndex != b.m_nBaudIndex ||
         (a.m_nCommType == COMM_MODEM && a.m_strModemInit != b.m_strModemInit) ||
         a.m_bFrameDispatch != b.m_bFrameDispatch ||
         (a.m_bFrameDispatch && a.m_nFrameWaitMs != b.m_nFrameWaitMs);
}

std::string DescribeSerialPort(const LoaderConfig& cfg) {
  if (cfg.m_bNoSerialPort) return "none (PORT=NONE), TCP only";
  const std::uint32_t rate =
      RateAt(IsRateIndex(cfg.m_nBaudIndex) ? cfg.m_nBaudIndex : kDefaultBaudIndex).dwBitsPerSecond;
  return PortText(cfg) + " (" + EscapeConsoleText(Device(cfg)) + "), " + std::to_string(rate) +
         " bit/s, " + TypeText(cfg);
}

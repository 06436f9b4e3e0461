// Differences between two loads of Romvale.cfg.
#include "runtime/ConfigChanges.h"

#include "config/ConsoleText.h"

namespace {

std::string PortText(const LoaderConfig& cfg) {
  return cfg.m_noSerialPort ? "NONE" : "COM" + std::to_string(cfg.m_port);
}

std::string TypeText(const LoaderConfig& cfg) {
  return cfg.m_commType == kCommModem ? "MODEM" : "RS232";
}

std::string BaudText(const LoaderConfig& cfg) {
  return IsRateIndex(cfg.m_baudIndex) ? std::string(RateAt(cfg.m_baudIndex).configText) : "?";
}

/// The PORTS names in use, as the file would hold them ("" without the key).
std::string LinesText(const LoaderConfig& cfg) {
  std::string text;
  for (const int port : cfg.m_linePorts) {
    text += (text.empty() ? "COM" : ",COM") + std::to_string(port);
  }
  return text;
}

std::string AddressText(const LoaderConfig& cfg) {
  return cfg.m_tcpAddress.empty() ? "every interface" : cfg.m_tcpAddress;
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
  Compare(out, "ROMFILE", a.m_romDir, b.m_romDir);
  Compare(out, "BLLFILE", a.m_bllDir, b.m_bllDir);
  Compare(out, "PORT", PortText(a), PortText(b));
  Compare(out, "TYPE", TypeText(a), TypeText(b));
  Compare(out, "BAUD", BaudText(a), BaudText(b));
  Compare(out, "MODEM", a.m_modemInit, b.m_modemInit);
  Compare(out, "ROMTYPE", a.m_romTypes, b.m_romTypes);
  Compare(out, "PORTS", LinesText(a), LinesText(b));
  for (int port = 1; port <= kLinePortCount; ++port) {
    Compare(out, "[Ports] COM" + std::to_string(port), LinePortDevice(a, port),
            LinePortDevice(b, port));
  }
  Compare(out, "TCPPACE", std::to_string(a.m_tcpPace), std::to_string(b.m_tcpPace));
  Compare(out, "TCPPORT", std::to_string(a.m_tcpPort), std::to_string(b.m_tcpPort));
  Compare(out, "TCPADDRESS", AddressText(a), AddressText(b));
  Compare(out, "RECONNECT", std::to_string(a.m_reconnect), std::to_string(b.m_reconnect));
  Compare(out, "SESSIONTIMEOUT", std::to_string(a.m_sessionTimeoutSec),
          std::to_string(b.m_sessionTimeoutSec));
  Compare(out, "TCPMAXCONN", std::to_string(a.m_tcpMaxConn), std::to_string(b.m_tcpMaxConn));
  Compare(out, "TCPIDLE", std::to_string(a.m_tcpIdleSec), std::to_string(b.m_tcpIdleSec));
  Compare(out, "DISPATCH", a.m_frameDispatch ? "FRAME" : "BURST",
          b.m_frameDispatch ? "FRAME" : "BURST");
  Compare(out, "FRAMEWAIT", std::to_string(a.m_frameWaitMs), std::to_string(b.m_frameWaitMs));
  Compare(out, "CONCURRENT", std::to_string(a.m_concurrent), std::to_string(b.m_concurrent));
  return out;
}

std::string DescribeSerialPort(const LoaderConfig& cfg) {
  if (cfg.m_noSerialPort) return "none (PORT=NONE), TCP only";
  return DescribeSerialLine(cfg, {cfg.m_port, PortText(cfg), PortDeviceOf(cfg)});
}

std::string DescribeSerialLine(const LoaderConfig& cfg, const SerialLineConfig& line) {
  const std::uint32_t rate =
      RateAt(IsRateIndex(cfg.m_baudIndex) ? cfg.m_baudIndex : kDefaultBaudIndex).bitsPerSecond;
  return line.name + " (" + EscapeConsoleText(line.device) + "), " + std::to_string(rate) +
         " bit/s, " + TypeText(cfg);
}

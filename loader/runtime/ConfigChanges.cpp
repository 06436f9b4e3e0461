// Differences between two loads of Romvale.cfg.
#include "runtime/ConfigChanges.h"

#include "config/ConsoleText.h"

namespace {

std::string PortText(const LoaderConfig& cfg) {
  return cfg.noSerialPort ? "NONE" : "COM" + std::to_string(cfg.port);
}

std::string TypeText(const LoaderConfig& cfg) {
  return cfg.commType == kCommModem ? "MODEM" : "RS232";
}

std::string BaudText(const LoaderConfig& cfg) {
  return IsRateIndex(cfg.baudIndex) ? std::string(RateAt(cfg.baudIndex).configText) : "?";
}

/// The PORTS names in use, as the file would hold them ("" without the key).
std::string LinesText(const LoaderConfig& cfg) {
  std::string text;
  for (const int port : cfg.linePorts) {
    text += (text.empty() ? "COM" : ",COM") + std::to_string(port);
  }
  return text;
}

std::string AddressText(const LoaderConfig& cfg) {
  return cfg.tcpAddress.empty() ? "every interface" : cfg.tcpAddress;
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
  Compare(out, "ROMFILE", a.romDir, b.romDir);
  Compare(out, "BLLFILE", a.bllDir, b.bllDir);
  Compare(out, "PORT", PortText(a), PortText(b));
  Compare(out, "TYPE", TypeText(a), TypeText(b));
  Compare(out, "BAUD", BaudText(a), BaudText(b));
  Compare(out, "MODEM", a.modemInit, b.modemInit);
  Compare(out, "ROMTYPE", a.romTypes, b.romTypes);
  Compare(out, "PORTS", LinesText(a), LinesText(b));
  for (int port = 1; port <= kLinePortCount; ++port) {
    Compare(out, "[Ports] COM" + std::to_string(port), LinePortDevice(a, port),
            LinePortDevice(b, port));
  }
  Compare(out, "TCPPACE", std::to_string(a.tcpPace), std::to_string(b.tcpPace));
  Compare(out, "TCPPORT", std::to_string(a.tcpPort), std::to_string(b.tcpPort));
  Compare(out, "TCPADDRESS", AddressText(a), AddressText(b));
  Compare(out, "RECONNECT", std::to_string(a.reconnect), std::to_string(b.reconnect));
  Compare(out, "SESSIONTIMEOUT", std::to_string(a.sessionTimeoutSec),
          std::to_string(b.sessionTimeoutSec));
  Compare(out, "TCPMAXCONN", std::to_string(a.tcpMaxConn), std::to_string(b.tcpMaxConn));
  Compare(out, "TCPIDLE", std::to_string(a.tcpIdleSec), std::to_string(b.tcpIdleSec));
  Compare(out, "DISPATCH", a.frameDispatch ? "FRAME" : "BURST",
          b.frameDispatch ? "FRAME" : "BURST");
  Compare(out, "FRAMEWAIT", std::to_string(a.frameWaitMs), std::to_string(b.frameWaitMs));
  Compare(out, "CONCURRENT", std::to_string(a.concurrent), std::to_string(b.concurrent));
  return out;
}

std::string DescribeSerialPort(const LoaderConfig& cfg) {
  if (cfg.noSerialPort) return "none (PORT=NONE), TCP only";
  return DescribeSerialLine(cfg, {cfg.port, PortText(cfg), PortDeviceOf(cfg)});
}

std::string DescribeSerialLine(const LoaderConfig& cfg, const SerialLineConfig& line) {
  const std::uint32_t rate =
      RateAt(IsRateIndex(cfg.baudIndex) ? cfg.baudIndex : kDefaultBaudIndex).bitsPerSecond;
  return line.name + " (" + EscapeConsoleText(line.device) + "), " + std::to_string(rate) +
         " bit/s, " + TypeText(cfg);
}

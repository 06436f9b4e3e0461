// Tarvix's command-line options, described once in a table.
#include "app/TarvixOptions.h"

#include "config/LoaderConfig.h"
#include "config/LoaderDefaults.h"
#include "config/OptionScan.h"
#include "window/WindowTexts.h"

#include <array>
#include <charconv>
#include <utility>
#include <vector>

#ifndef TARVIX_VERSION
#error "TARVIX_VERSION must give the program's version"
#endif

namespace {

struct OptionSpec {
  std::string_view names;      // comma-separated, long name first
  std::string_view valueName;  // empty for a switch
  std::string help;            // may span lines, each indented in the help text
};

constexpr std::string_view kHeadless = "headless";
constexpr std::string_view kTcpPort = "tcp-port";
constexpr std::string_view kConfig = "config";
constexpr std::string_view kHelp = "help";
constexpr std::string_view kVersion = "version";
constexpr std::string_view kCheckConfig = "check-config";
constexpr std::string_view kProgress = "progress";
constexpr std::string_view kProgressAll = "all";
constexpr std::string_view kProgressThrottled = "1s";

std::string Text(std::string_view text) {
  return std::string(text);
}

std::string Number(long long value) {
  return std::to_string(value);
}

std::string OnOff(bool value) {
  return value ? "1" : "0";
}

// Every default named below comes from the constant the program uses.
const std::array<OptionSpec, 7>& Options() {
  static const std::array<OptionSpec, 7> options = {{
      {kHeadless, "",
       "serve without a window until SIGINT or SIGTERM (SIGHUP reloads\n"
       "the configuration); every change is a line on stdout: 'port:\n"
       "<port status>', 'status: <status line>' (CR and LF written as\n"
       "\\r and \\n, other control bytes and bytes that are not UTF-8 as\n"
       "\\xNN, C1 and bidi controls as \\uXXXX), 'progress: <pos>/<max>'\n"
       "(see --progress); message boxes are 'message: <text>' lines on stderr"},
      {kConfig, "FILE",
       "configuration file (default ./" + Text(kConfigFileName) +
           "); 설정 저장 writes\n"
           "back to it; with --headless a FILE that cannot be read ends\n"
           "Tarvix with exit code 2"},
      {kTcpPort, "N",
       "TCP port to listen on, 1.." + Number(kMaxTcpPort) +
           " (default: TCPPORT of the\n"
           "configuration, else " +
           Number(kDefaultTcpPort) + "); with --headless"},
      {kProgress, "WHEN",
       "with --headless: '" + Text(kProgressThrottled) +
           "' (default) prints 'progress:' and 'session:'\n"
           "lines at most once a second per download, its first and last\n"
           "step always, and a 'status:' percentage that follows another\n"
           "at most once a second, 0 % and 100 % always; '" +
           Text(kProgressAll) + "' prints every change"},
      {kCheckConfig, "",
       "read the configuration (--config or ./" + Text(kConfigFileName) +
           "), print every\n"
           "warning, then 'ok' or 'N problems'; opens no port; exit code 0\n"
           "when there is no problem, else 1"},
      {"help,h", "", "print this help"},
      {kVersion, "", "print the program's version"},
  }};
  return options;
}

// The settings and lines this program adds to the terminals' protocol and Romvale.cfg.
std::string LinuxKeys() {
  const LoaderConfig defaults;
  return "\n"
         "Romvale.cfg keys added on Linux (a value not understood is a 'warning:' line\n"
         "that names what is used instead):\n"
         "  [Ports] COM1..COM8=DEVICE  device of each COM name (default " +
         DefaultPortDevice(1) + ".." + Number(kPortCount - 1) +
         ")\n"
         "  [Communication]\n"
         "  PORT=NONE                  no serial port: TCP only\n"
         "  PORTS=COM1,COM2,...        serial lines served at once, PORT first (up to 16;\n"
         "                             [Ports] COMn=DEVICE, needed from COM9)\n"
         "  TCPPORT=N, TCPADDRESS=IP   where to listen (default " +
         Number(kDefaultTcpPort) +
         ", every interface)\n"
         "  TCPPACE=MS                 pause after each TCP packet (default " +
         Number(kDefaultTcpPaceMs) +
         ", 0 = none)\n"
         "  RECONNECT=0|1              reopen a failed serial port (default " +
         OnOff(defaults.reconnect) +
         ")\n"
         "  SESSIONTIMEOUT=S           end a download silent this long (default " +
         Number(kDefaultSessionTimeoutSec) +
         ", 0 = never)\n"
         "  TCPMAXCONN=N, TCPIDLE=S    connections held (default " +
         Number(kDefaultTcpMaxConn) + "); idle close (default " + Number(kDefaultTcpIdleSec) +
         ")\n"
         "  DISPATCH=FRAME|BURST       answer a serial frame once complete (default " +
         (kDefaultFrameDispatch ? "FRAME" : "BURST") +
         ")\n"
         "  FRAMEWAIT=MS               longest wait for the rest of a frame (default " +
         Number(kDefaultFrameWaitMs) +
         ")\n"
         "  CONCURRENT=0|1             a download per TCP connection (default " +
         OnOff(defaults.concurrent) +
         ")\n"
         "  TCPPORT=NONE               no TCP listener: serial port only\n"
         "  METRICSPORT=N              serve GET /metrics and /healthz over HTTP (default off)\n"
         "  METRICSADDRESS=IP          where to serve them (default " +
         Text(kDefaultMetricsAddress) +
         ")\n"
         "With --headless, each download that ends is a 'done:' or 'failed:' line (its\n"
         "last line), and with CONCURRENT=1 steps of a TCP download 'session:' lines.\n"
         "With several serial lines (PORTS), 'port:', 'status:', 'progress:', 'done:'\n"
         "and 'failed:' lines carry the line's name after the kind ('status: COM2 ...').\n"
         "Lifecycle lines on stderr: 'info: ready', 'info: stopping (SIGTERM)', 'info:\n"
         "stopped after N downloads'; a TCP port that cannot be listened on is an\n"
         "'error:' line and exit code 1. Output never waits for its reader: when it\n"
         "stalls, progress lines are dropped first and a warning counts them. Under\n"
         "systemd (JOURNAL_STREAM) each line starts with its syslog priority, and\n"
         "READY/STATUS/STOPPING/WATCHDOG reach the service manager (sd_notify).\n";
}

// The names of a table entry ("help,h"), as views into it.
std::vector<std::string_view> Names(std::string_view names) {
  std::vector<std::string_view> split;
  while (!names.empty()) {
    const std::size_t comma = names.find(',');
    if (comma != 0) split.push_back(names.substr(0, comma));
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
  }
  return split;
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1 ||
      value > static_cast<unsigned>(kMaxTcpPort)) {
    return false;
  }
  port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

std::string TarvixUsage() {
  std::string text =
      "Usage: Tarvix [--headless [--tcp-port N] [--progress all|1s]] [--config FILE]\n"
      "       Tarvix --check-config [--config FILE]\n"
      "       Tarvix --help | --version\n"
      "Firmware download server for terminals, on a serial port and TCP/IP.\n"
      "Reads Romvale.cfg in the current directory unless --config names another file;\n"
      "without either, the window uses $XDG_CONFIG_HOME/tarvix/Romvale.cfg\n"
      "(~/.config/tarvix/Romvale.cfg), which 설정 저장 creates.\n"
      "Start-up lines, warnings about the configuration and the serial port's\n"
      "failures and reconnects are 'info:' and 'warning:' lines on stderr.\n"
      "An option's value follows it after a blank or '=' (--config=FILE); '--' ends\n"
      "the options.\n"
      "\n"
      "  (no option)          open the Romvale window\n";
  constexpr std::size_t kColumn = 23;
  for (const OptionSpec& option : Options()) {
    std::string left = "  ";
    for (const std::string_view name : Names(option.names)) {
      if (left.size() > 2) left += ", ";
      left += (name.size() == 1 ? "-" : "--") + std::string(name);
    }
    if (!option.valueName.empty()) left += " " + std::string(option.valueName);
    left.resize(std::max(left.size() + 1, kColumn), ' ');
    std::string_view help = option.help;
    for (bool first = true; !help.empty(); first = false) {
      const std::size_t end = help.find('\n');
      text += (first ? left : std::string(kColumn, ' ')) + std::string(help.substr(0, end)) + "\n";
      help = end == std::string_view::npos ? std::string_view() : help.substr(end + 1);
    }
  }
  return text + LinuxKeys();
}

std::string TarvixVersion() {
  // The window's caption carries the version the terminals' users know.
  return std::string("Tarvix ") + TARVIX_VERSION + " (" + std::string(wnd::kShownVersion) + ")\n";
}

std::optional<TarvixOptions> ParseTarvixArgs(std::span<const std::string_view> args,
                                             std::string& error) {
  std::vector<ScanOption> table;
  for (const OptionSpec& option : Options()) {
    table.push_back({Names(option.names), !option.valueName.empty()});
  }
  OptionScan parser(std::move(table));
  if (!parser.Parse(args, error)) return std::nullopt;
  if (!parser.Arguments().empty()) {
    error = UnexpectedArgumentText(parser.Arguments().front());
    return std::nullopt;
  }

  TarvixOptions options;
  options.headless = parser.IsSet(kHeadless);
  options.help = parser.IsSet(kHelp);
  options.version = parser.IsSet(kVersion);
  options.checkConfig = parser.IsSet(kCheckConfig);
  if (parser.IsSet(kProgress)) {
    const std::string value = parser.Value(kProgress);
    if (value != kProgressAll && value != kProgressThrottled) {
      error = BadValueText("--progress", "'" + value + "' is neither '" + Text(kProgressAll) +
                                             "' nor '" + Text(kProgressThrottled) + "'");
      return std::nullopt;
    }
    options.loader.everyProgressStep = value == kProgressAll;
    if (!options.headless && !options.help && !options.version) {
      error = "--progress is an option of --headless";
      return std::nullopt;
    }
  }
  if (parser.IsSet(kConfig)) {
    options.loader.configPath = parser.Value(kConfig);
    if (options.loader.configPath.empty()) {
      error = BadValueText("--config", "the file name is empty");
      return std::nullopt;
    }
  }
  if (parser.IsSet(kTcpPort)) {
    const std::string value = parser.Value(kTcpPort);
    std::uint16_t port = 0;
    if (!ParsePort(value, port)) {
      error = BadValueText("--tcp-port", "'" + value + "' is not a TCP port (1.." +
                                             std::to_string(kMaxTcpPort) + ")");
      return std::nullopt;
    }
    options.loader.tcpPort = port;
    if (!options.headless && !options.help && !options.version) {
      error = BadValueText("--tcp-port", "works only with --headless");
      return std::nullopt;
    }
  }
  return options;
}

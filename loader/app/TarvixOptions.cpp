// Tarvix's command-line options.
#include "app/HeadlessMain.h"

#include <charconv>

std::string_view TarvixUsage() {
  return "Usage: Tarvix [--headless [--tcp-port N]] [--help]\n"
         "Firmware download server for terminals, on a serial port and TCP/IP.\n"
         "Reads Romvale.cfg in the current directory.\n"
         "\n"
         "  (no option)     open the Romvale window\n"
         "  --headless      serve without a window until SIGINT or SIGTERM; every change\n"
         "                  is a line on stdout: 'port: <port status>', 'status: <status\n"
         "                  line>' (CR and LF written as \\r and \\n), 'progress: <pos>/<max>';\n"
         "                  message boxes are 'message: <text>' lines on stderr\n"
         "  --tcp-port N    TCP port to listen on, 1..65535 (default 7000); with --headless\n"
         "  --help, -h      print this help\n";
}

namespace {
bool ParsePort(std::string_view text, std::uint16_t& port) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}
}  // namespace

std::optional<TarvixOptions> ParseTarvixArgs(std::span<const std::string_view> args, std::string& error) {
  TarvixOptions options;
  bool bPortGiven = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg == "--headless") {
      options.bHeadless = true;
    } else if (arg == "--help" || arg == "-h") {
      options.bHelp = true;
    } else if (arg == "--tcp-port" || arg.starts_with("--tcp-port=")) {
      std::string_view value;
      if (arg == "--tcp-port") {
        if (i + 1 >= args.size()) {
          error = "--tcp-port needs a port number";
          return std::nullopt;
        }
        value = args[++i];
      } else {
        value = arg.substr(std::string_view("--tcp-port=").size());
      }
      if (!ParsePort(value, options.nTcpPort)) {
        error = "bad TCP port '" + std::string(value) + "' (1..65535)";
        return std::nullopt;
      }
      bPortGiven = true;
    } else {
      error = "unknown option '" + std::string(arg) + "'";
      return std::nullopt;
    }
  }
  if (bPortGiven && !options.bHeadless && !options.bHelp) {
    error = "--tcp-port is an option of --headless";
    return std::nullopt;
  }
  return options;
}

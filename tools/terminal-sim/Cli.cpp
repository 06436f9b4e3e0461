// Option parsing and the run sequence of the terminal-sim command.
#include "Cli.h"

#include "Terminal.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

namespace termsim {
namespace {

struct CliOptions {
  std::string device;
  int baud = 57600;
  bool pty = false;
  std::string tcpHost;
  int tcpPort = 0;
  Millis connectTimeout{30000};
  Millis startDelay{0};
  std::string startFile;  // wait until this file exists before the first frame
  std::string romName;
  std::optional<Bytes> romSelector;
  std::string bllName;
  std::string bllForm;
  std::optional<Bytes> rawFrame;
  std::optional<Bytes> rawReply;
  bool modem = false;
  bool ringAfter = false;
  int repeat = 1;
  DownloadOptions download;
  ModemOptions modemOptions;
};

std::optional<int> ParseInt(const std::string& text, int min, int max) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
  return value;
}

/// Parses args into o; an error text on the first bad option.
std::optional<std::string> Parse(const std::vector<std::string>& args, CliOptions& o) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    const auto number = [&](int min, int max, int& target) -> std::optional<std::string> {
      const std::optional<std::string> v = value();
      const std::optional<int> n = v ? ParseInt(*v, min, max) : std::nullopt;
      if (!n) {
        return a + " needs a whole number from " + std::to_string(min) + " to " +
               std::to_string(max);
      }
      target = *n;
      return std::nullopt;
    };
    const auto millis = [&](Millis& target) -> std::optional<std::string> {
      int ms = 0;
      if (auto e = number(0, 3600000, ms)) return e;
      target = Millis(ms);
      return std::nullopt;
    };
    const auto text = [&](std::string& target) -> std::optional<std::string> {
      const std::optional<std::string> v = value();
      if (!v) return a + " needs a value";
      target = *v;
      return std::nullopt;
    };
    std::optional<std::string> e;
    if (a == "--device") e = text(o.device);
    else if (a == "--baud") e = number(1200, 115200, o.baud);
    else if (a == "--pty") o.pty = true;
    else if (a == "--tcp") {
      std::string hostPort;
      e = text(hostPort);
      const std::size_t colon = hostPort.rfind(':');
      const std::optional<int> port =
          colon == std::string::npos ? std::nullopt : ParseInt(hostPort.substr(colon + 1), 1, 65535);
      if (!e && (!port || colon == 0)) e = "--tcp needs HOST:PORT";
      if (!e) {
        o.tcpHost = hostPort.substr(0, colon);
        o.tcpPort = *port;
      }
    }
    else if (a == "--connect-timeout") e = millis(o.connectTimeout);
    else if (a == "--start-delay") e = millis(o.startDelay);
    else if (a == "--start-file") e = text(o.startFile);
    else if (a == "--rom") e = text(o.romName);
    else if (a == "--rom-selector") {
      std::string hex;
      e = text(hex);
      if (!e) {
        o.romSelector = ParseHex(hex);
        if (!o.romSelector || o.romSelector->empty()) e = "--rom-selector needs hex bytes, e.g. 4D726F6D";
      }
    }
    else if (a == "--raw" || a == "--reply") {
      std::string hex;
      e = text(hex);
      std::optional<Bytes>& target = a == "--raw" ? o.rawFrame : o.rawReply;
      if (!e) target = ParseHex(hex);
      if (!e && (!target || (a == "--raw" && target->empty()))) e = a + " needs hex bytes";
    }
    else if (a == "--no-reply") o.rawReply = Bytes{};
    else if (a == "--bll") e = text(o.bllName);
    else if (a == "--bll-form") e = text(o.bllForm);
    else if (a == "--expect") e = text(o.download.expectedFile);
    else if (a == "--output") e = text(o.download.outputFile);
    else if (a == "--missing") o.download.expectMissing = true;
    else if (a == "--nak-block") e = number(0, 65535, o.download.nakBlock);
    else if (a == "--bad-lrc-block") e = number(0, 65535, o.download.badLrcBlock);
    else if (a == "--bad-lrc-request") o.download.badLrcRequest = true;
    else if (a == "--error-block") e = number(0, 65535, o.download.terminalErrorBlock);
    else if (a == "--done-block") e = number(0, 65535, o.download.doneBlock);
    else if (a == "--done-after-end") o.download.doneAfterEnd = true;
    else if (a == "--timeout") e = millis(o.download.replyTimeout);
    else if (a == "--quiet") e = millis(o.download.quietTime);
    else if (a == "--gap") e = millis(o.download.frameGap);
    else if (a == "--modem") o.modem = true;
    else if (a == "--modem-init") e = text(o.modemOptions.initCommand);
    else if (a == "--no-init") o.modemOptions.expectInit = false;
    else if (a == "--connect-text") e = text(o.modemOptions.connectText);
    else if (a == "--ring-after") o.ringAfter = true;
    else if (a == "--modem-ok") o.modemOptions.sendOk = true;
    else if (a == "--rings") e = number(1, 100, o.modemOptions.rings);
    else if (a == "--repeat") e = number(1, 1000000, o.repeat);
    else e = "unknown option " + a;
    if (e) return e;
  }
  const int transports = (o.device.empty() ? 0 : 1) + (o.pty ? 1 : 0) + (o.tcpHost.empty() ? 0 : 1);
  if (transports != 1) return std::string("give exactly one of --device, --pty, --tcp");
  const int downloads = (o.romName.empty() ? 0 : 1) + (o.romSelector ? 1 : 0) +
                        (o.bllName.empty() ? 0 : 1) + (o.rawFrame ? 1 : 0);
  if (downloads != 1) return std::string("give exactly one of --rom, --rom-selector, --bll, --raw");
  if (o.rawFrame.has_value() != o.rawReply.has_value()) {
    return std::string("--raw goes with --reply HEX or --no-reply");
  }
  if (o.modem && !o.tcpHost.empty()) return std::string("--modem needs a serial line (--device or --pty)");
  o.modemOptions.replyTimeout = o.download.replyTimeout;
  o.modemOptions.initTimeout = o.connectTimeout;
  o.modemOptions.quietTime = o.download.quietTime;
  o.download.modemLink = o.modem;
  if (o.rawFrame) return std::nullopt;
  if (!o.romName.empty()) {
    o.romSelector = RomSelectorForName(o.romName);
    if (!o.romSelector) {
      return "a ROM request cannot name " + o.romName +
             " (TRM-<t>.jd0, TRM-<t>.<ext> with t a digit or M, or qimod<ddd>.rom)";
    }
  }
  if (o.romSelector) {
    o.download.family = Family::Rom;
    o.download.romSelector = *o.romSelector;
  } else {
    o.download.family = Family::Bll;
    if (o.bllForm != "" && o.bllForm != "mca" && o.bllForm != "b" && o.bllForm != "c") {
      return std::string("--bll-form is mca, b or c");
    }
    const auto request = BllRequestForName(o.bllName, o.bllForm == "b");
    if (!request) return "a BLL request cannot name " + o.bllName + " (MCA<ddd>.bll or SUB<ddd>.bll)";
    if (!o.bllForm.empty() && (o.bllForm == "c") != (request->first == BllForm::C)) {
      return std::string("SUB<ddd>.bll goes with --bll-form c, MCA<ddd>.bll with mca or b");
    }
    o.download.bllForm = request->first;
    o.download.bllDigits = request->second;
  }
  if (!o.download.expectMissing && o.download.expectedFile.empty()) {
    return std::string("--expect FILE is needed (the local copy of what the loader sends), or --missing");
  }
  return std::nullopt;
}

std::unique_ptr<ITransport> OpenLine(const CliOptions& o, std::ostream& out, std::string& error) {
  if (!o.device.empty()) return OpenSerialDevice(o.device, o.baud, error);
  if (!o.tcpHost.empty()) return ConnectTcp(o.tcpHost, o.tcpPort, o.connectTimeout, error);
  std::unique_ptr<CPtyTransport> pty = CPtyTransport::Create(error);
  if (pty) out << "pty: " << pty->SlavePath() << std::endl;  // the caller needs it at once
  return pty;
}

std::string Figures(const Result& r) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "%d blocks, %zu bytes, %.1f blocks/s, median turnaround %.2f ms",
                r.blocks, r.receivedBytes, r.blocksPerSecond, r.medianTurnaroundMs);
  return buf;
}

}  // namespace

std::string UsageText() {
  return R"(Usage: terminal-sim LINE REQUEST [options]
Plays a download terminal (and, with --modem, the answering modem) against the
loader and checks every reply byte for byte against a local copy of the file.

LINE (one of):
  --device PATH          a serial line, e.g. the slave of a pty you made (raw 8N1)
  --baud N               its speed (default 57600)
  --pty                  make a pseudo-terminal; prints "pty: PATH" for the loader
  --tcp HOST:PORT        a TCP connection to the loader
REQUEST (one of):
  --rom NAME             ROM image TRM-<t>.jd0, TRM-<t>.<ext> (t digit or M), qimod<ddd>.rom
  --rom-selector HEX     raw ROM selector bytes, e.g. 4D726F6D
  --bll NAME             BLL file MCA<ddd>.bll or SUB<ddd>.bll
  --bll-form mca|b|c     BLL request kind (default: mca for MCA, c for SUB)
  --raw HEX              one frame sent exactly as given (no LRC added), with
  --reply HEX            the exact reply it must get, or
  --no-reply             no reply at all (watched for --quiet ms)
Checks and faults:
  --expect FILE          the file the loader must send (needed unless --missing)
  --output FILE          write the received image here
  --missing              the loader cannot open the file: expect its reject
  --nak-block N          answer block N once with NAK and expect it again
  --bad-lrc-block N      after block N send a "next" with a broken LRC first
  --bad-lrc-request      send the request with a broken LRC first
  --error-block N        after block N send a terminal error (no reply expected)
  --done-block N         ROM: after block N send "done" (no reply expected)
  --done-after-end       ROM: send "done" after the end frame (no reply expected)
Modem:
  --modem                play the modem first: init command, RING/ATA, CONNECT/ENQ;
                         ROM blocks are then 1024 bytes
  --modem-init TEXT      init command expected (default AT&F&C1&D2E1&K3; "" = lone CR)
  --no-init              the loader has already sent it
  --connect-text TEXT    result text sent (default "CONNECT 2400")
  --modem-ok             answer the init command with "OK" (no reply expected)
  --rings N              RINGs before CONNECT, each answered with ATA (default 1)
  --ring-after           after the download, RING must be answered with ATA again
Timing:
  --timeout MS           longest wait for a reply (default 5000)
  --quiet MS             how long "no reply" is watched (default 300)
  --gap MS               pause before each frame (default 0)
  --connect-timeout MS   wait for a TCP connection or the modem init (default 30000)
  --start-delay MS       wait before the first frame (e.g. until the loader opened the pty)
  --start-file FILE      wait until FILE exists (at most --connect-timeout) before the first frame
  --repeat N             run the download N times (figures for each run)
  --help                 this text
Exit status: 0 all replies as expected, 1 a mismatch, time-out or line error, 2 bad usage.
)";
}

int RunTerminalSim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      out << UsageText();
      return kExitOk;
    }
  }
  CliOptions o;
  if (const std::optional<std::string> e = Parse(args, o)) {
    err << "terminal-sim: " << *e << "\n(see terminal-sim --help)\n";
    return kExitUsage;
  }
  std::string error;
  std::unique_ptr<ITransport> line = OpenLine(o, out, error);
  if (!line) {
    err << "terminal-sim: " << error << "\n";
    return kExitMismatch;
  }
  const auto failed = [&](const std::string& what, const Result& r) {
    err << "terminal-sim: FAILED " << what << ": " << r.error << "\n";
    return kExitMismatch;
  };
  if (!o.startFile.empty()) {
    // Lets a script order this terminal after others without guessing delays.
    const auto deadline = std::chrono::steady_clock::now() + o.connectTimeout;
    std::error_code ec;
    while (!std::filesystem::exists(o.startFile, ec)) {
      if (std::chrono::steady_clock::now() >= deadline) {
        err << "terminal-sim: " << o.startFile << " did not appear\n";
        return kExitMismatch;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  if (o.startDelay.count() > 0) std::this_thread::sleep_for(o.startDelay);
  for (int run = 1; run <= o.repeat; ++run) {
    if (o.modem) {
      if (run > 1) o.modemOptions.expectInit = false;
      const Result modem = RunModemAnswer(*line, o.modemOptions);
      if (!modem.ok) return failed("modem dialogue", modem);
      out << "modem: link up" << std::endl;
    }
    if (o.rawFrame) {
      const Result r = ExchangeFrame(*line, *o.rawFrame, *o.rawReply, o.download.replyTimeout,
                                     o.download.quietTime);
      if (!r.ok) return failed("raw frame", r);
      out << "ok: raw frame answered as expected" << std::endl;
      continue;
    }
    const Result r = RunDownload(*line, o.download);
    if (!r.ok) return failed(r.fileName, r);
    out << "ok: " << r.fileName << ": " << Figures(r) << std::endl;
    if (o.modem && o.ringAfter) {
      const Result again = ExpectModemTextAgain(*line, o.modemOptions);
      if (!again.ok) return failed("modem text after the download", again);
      out << "modem: RING answered again after the download" << std::endl;
    }
  }
  return kExitOk;
}

}  // namespace termsim

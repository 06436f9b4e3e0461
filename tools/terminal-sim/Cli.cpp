// Option parsing and the run sequence of the terminal-sim command.
#include "Cli.h"

#include "Terminal.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

namespace termsim {
namespace {

constexpr int kDefaultBaud = 57600;
constexpr int kDefaultConnectTimeoutMs = 30000;

struct CliOptions {
  std::string device;
  int baud = kDefaultBaud;
  bool pty = false;
  std::string tcpHost;
  int tcpPort = 0;
  Millis connectTimeout{kDefaultConnectTimeoutMs};
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

int ToInt(Millis time) {
  return static_cast<int>(time.count());
}

// The text-valued options that need a second look after the library has read them.
struct RawTexts {
  std::string tcp;
  std::string romSelector;
  std::string raw;
  std::string reply;
  int connectTimeoutMs = kDefaultConnectTimeoutMs;
  int startDelayMs = 0;
  int replyTimeoutMs = ToInt(DownloadOptions().replyTimeout);
  int quietMs = ToInt(DownloadOptions().quietTime);
  int gapMs = ToInt(DownloadOptions().frameGap);
};

/// " (default VALUE)", for a help text.
std::string DefaultIs(const std::string& value) {
  return " (default " + value + ")";
}

std::string DefaultIs(int value) {
  return DefaultIs(std::to_string(value));
}

constexpr int kMaxMillis = 3600000;

/// The one option table: the parser reads it and --help is made from it.
void DeclareOptions(CLI::App& app, CliOptions& o, RawTexts& t) {
  // The defaults the help names are the values the options start with.
  const CliOptions initial;
  const RawTexts initialTexts;
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  const std::string line = "LINE (one of)";
  app.add_option("--device", o.device, "a serial line, e.g. the slave of a pty you made (raw 8N1)")
      ->type_name("PATH")
      ->group(line);
  app.add_option("--baud", o.baud, "its speed, 1200 to 115200" + DefaultIs(initial.baud))
      ->type_name("N")
      ->check(CLI::Range(1200, 115200).description(""))
      ->group(line);
  app.add_flag("--pty", o.pty, "make a pseudo-terminal; prints \"pty: PATH\" for the loader")
      ->group(line);
  app.add_option("--tcp", t.tcp, "a TCP connection to the loader")
      ->type_name("HOST:PORT")
      ->group(line);
  const std::string request = "REQUEST (one of)";
  app.add_option("--rom", o.romName,
                 "ROM image TRM-<t>.jd0, TRM-<t>.<ext> (t digit or M), qimod<ddd>.rom")
      ->type_name("NAME")
      ->group(request);
  app.add_option("--rom-selector", t.romSelector, "raw ROM selector bytes, e.g. 4D726F6D")
      ->type_name("HEX")
      ->group(request);
  app.add_option("--bll", o.bllName, "BLL file MCA<ddd>.bll or SUB<ddd>.bll")
      ->type_name("NAME")
      ->group(request);
  app.add_option("--bll-form", o.bllForm, "BLL request kind (default: mca for MCA, c for SUB)")
      ->type_name("mca|b|c")
      ->group(request);
  app.add_option("--raw", t.raw, "one frame sent exactly as given (no LRC added), with")
      ->type_name("HEX")
      ->group(request);
  app.add_option("--reply", t.reply, "the exact reply it must get, or")
      ->type_name("HEX")
      ->group(request);
  app.add_flag_callback(
         "--no-reply", [&o] { o.rawReply = Bytes{}; }, "no reply at all (watched for --quiet ms)")
      ->group(request);
  const std::string checks = "Checks and faults";
  app.add_option("--expect", o.download.expectedFile,
                 "the file the loader must send (needed unless --missing)")
      ->type_name("FILE")
      ->group(checks);
  app.add_option("--output", o.download.outputFile, "write the received image here")
      ->type_name("FILE")
      ->group(checks);
  app.add_flag("--missing", o.download.expectMissing,
               "the loader cannot open the file: expect its reject")
      ->group(checks);
  const auto block = [&](const char* name, int& target, const char* help) {
    app.add_option(name, target, help)
        ->type_name("N")
        ->check(CLI::Range(0, 65535).description(""))
        ->group(checks);
  };
  block("--nak-block", o.download.nakBlock, "answer block N once with NAK and expect it again");
  block("--bad-lrc-block", o.download.badLrcBlock,
        "after block N send a \"next\" with a broken LRC first");
  app.add_flag("--bad-lrc-request", o.download.badLrcRequest,
               "send the request with a broken LRC first")
      ->group(checks);
  block("--error-block", o.download.terminalErrorBlock,
        "after block N send a terminal error (no reply expected)");
  block("--done-block", o.download.doneBlock,
        "ROM: after block N send \"done\" (no reply expected)");
  app.add_flag("--done-after-end", o.download.doneAfterEnd,
               "ROM: send \"done\" after the end frame (no reply expected)")
      ->group(checks);
  const std::string modem = "Modem";
  app.add_flag("--modem", o.modem,
               "play the modem first: init command, RING/ATA, CONNECT/ENQ;\n"
               "ROM blocks are then 1024 bytes")
      ->group(modem);
  app.add_option(
         "--modem-init", o.modemOptions.initCommand,
         "init command expected (default " + initial.modemOptions.initCommand + "; \"\" = lone CR)")
      ->type_name("TEXT")
      ->group(modem);
  app.add_flag_callback(
         "--no-init", [&o] { o.modemOptions.expectInit = false; }, "the loader has already sent it")
      ->group(modem);
  app.add_option("--connect-text", o.modemOptions.connectText,
                 "result text sent" + DefaultIs('"' + initial.modemOptions.connectText + '"'))
      ->type_name("TEXT")
      ->group(modem);
  app.add_flag_callback(
         "--modem-ok", [&o] { o.modemOptions.sendOk = true; },
         "answer the init command with \"OK\" (no reply expected)")
      ->group(modem);
  app.add_option(
         "--rings", o.modemOptions.rings,
         "RINGs before CONNECT, each answered with ATA" + DefaultIs(initial.modemOptions.rings))
      ->type_name("N")
      ->check(CLI::Range(1, 100).description(""))
      ->group(modem);
  app.add_flag("--ring-after", o.ringAfter,
               "after the download, RING must be answered with ATA again")
      ->group(modem);
  const std::string timing = "Timing";
  const auto millis = [&](const char* name, int& target, const std::string& help) {
    app.add_option(name, target, help)
        ->type_name("MS")
        ->check(CLI::Range(0, kMaxMillis).description(""))
        ->group(timing);
  };
  millis("--timeout", t.replyTimeoutMs,
         "longest wait for a reply" + DefaultIs(initialTexts.replyTimeoutMs));
  millis("--quiet", t.quietMs,
         "how long \"no reply\" is watched" + DefaultIs(initialTexts.quietMs));
  millis("--gap", t.gapMs, "pause before each frame" + DefaultIs(initialTexts.gapMs));
  millis("--connect-timeout", t.connectTimeoutMs,
         "wait for a TCP connection or the modem init" + DefaultIs(initialTexts.connectTimeoutMs));
  millis("--start-delay", t.startDelayMs,
         "wait before the first frame (e.g. until the loader opened the pty)");
  app.add_option("--start-file", o.startFile,
                 "wait until FILE exists (at most --connect-timeout) before the first frame")
      ->type_name("FILE")
      ->group(timing);
  app.add_option("--repeat", o.repeat, "run the download N times (figures for each run)")
      ->type_name("N")
      ->check(CLI::Range(1, 1000000).description(""))
      ->group(timing);
  app.set_help_flag("-h,--help", "this text")->group(timing);
  app.add_flag_callback(
         "--version", [] {}, "print the program's version")
      ->group(timing);
}

void ConfigureApp(CLI::App& app) {
  app.name("terminal-sim");
  app.description(
      "Plays a download terminal (and, with --modem, the answering modem) against the\n"
      "loader and checks every reply byte for byte against a local copy of the file.");
  app.footer(
      "A value follows its option after a blank or '=' (--baud=9600); '--' ends the options.\n"
      "Exit status: 0 all replies as expected, 1 a mismatch, time-out or line error, 2 bad "
      "usage.\n");
  app.get_formatter()->column_width(30);
  app.get_formatter()->label("OPTIONS", "LINE REQUEST options");
}

std::string UnknownOption(const std::string& typed) {
  return "unknown option '" + typed + "'";
}

std::string BadValueText(const std::string& option, const std::string& what) {
  return option + ": " + what;
}

/// Checks the words of the command line against the option table and hands
/// them on, last first as the library reads them, as "--name=value" (or
/// "--name" "" for an empty value, which the library would otherwise take from
/// the next word). The mistake in the shared wording, if any.
std::optional<std::string> Normalise(CLI::App& app, const std::vector<std::string>& args,
                                     std::vector<std::string>& reversed) {
  std::vector<std::string> words;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      // Everything after it is an argument, and this program takes none.
      if (i + 1 < args.size()) return "unexpected argument '" + args[i + 1] + "'";
      break;
    }
    if (!arg.starts_with("--")) {
      if (arg.size() > 1 && arg[0] == '-') return UnknownOption(arg);
      return "unexpected argument '" + arg + "'";
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const CLI::Option* option = app.get_option_no_throw(name);
    if (option == nullptr || name == "--") return UnknownOption(name);
    if (option->get_expected_max() == 0) {
      if (equals != std::string::npos) return BadValueText(name, "takes no value");
      words.push_back(name);
      continue;
    }
    std::string value;
    if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      return "option '" + name + "' needs a value";
    }
    if (value.empty()) {
      // In this order, so that once reversed the library meets the name first
      // and takes the empty word after it as the value.
      words.push_back(name);
      words.emplace_back();
    } else {
      words.push_back(name + "=" + value);
    }
  }
  reversed.assign(words.rbegin(), words.rend());
  return std::nullopt;
}

/// The library's refusal of a value, as "--name: what is wrong".
std::string BadValue(const std::string& text) {
  // "--baud: Value 5 not in range 1200 to 115200", also for a value that is no number.
  const std::size_t value = text.find(": Value ");
  const std::size_t range = text.find(" not in range ");
  if (value != std::string::npos && range != std::string::npos && value < range) {
    const std::size_t from = value + 8;
    return BadValueText(text.substr(0, value), "'" + text.substr(from, range - from) +
                                                   "' must be a whole number from " +
                                                   text.substr(range + 14));
  }
  return text;
}

/// Parses args into o; an error text on the first bad option (help handled by the caller).
std::optional<std::string> Parse(const std::vector<std::string>& args, CliOptions& o) {
  CLI::App app;
  ConfigureApp(app);
  RawTexts t;
  DeclareOptions(app, o, t);
  std::vector<std::string> reversed;
  if (std::optional<std::string> mistake = Normalise(app, args, reversed)) return mistake;
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return BadValue(e.what());
  }
  o.connectTimeout = Millis(t.connectTimeoutMs);
  o.startDelay = Millis(t.startDelayMs);
  o.download.replyTimeout = Millis(t.replyTimeoutMs);
  o.download.quietTime = Millis(t.quietMs);
  o.download.frameGap = Millis(t.gapMs);
  if (app.count("--tcp") > 0) {
    const std::size_t colon = t.tcp.rfind(':');
    const std::optional<int> port =
        colon == std::string::npos ? std::nullopt : ParseInt(t.tcp.substr(colon + 1), 1, 65535);
    if (!port || colon == 0) return BadValueText("--tcp", "'" + t.tcp + "' is not HOST:PORT");
    o.tcpHost = t.tcp.substr(0, colon);
    o.tcpPort = *port;
  }
  if (app.count("--rom-selector") > 0) {
    o.romSelector = ParseHex(t.romSelector);
    if (!o.romSelector || o.romSelector->empty()) {
      return BadValueText("--rom-selector", "needs hex bytes, e.g. 4D726F6D");
    }
  }
  if (app.count("--raw") > 0) {
    o.rawFrame = ParseHex(t.raw);
    if (!o.rawFrame || o.rawFrame->empty()) return BadValueText("--raw", "needs hex bytes");
  }
  if (app.count("--reply") > 0) {
    o.rawReply = ParseHex(t.reply);
    if (!o.rawReply) return BadValueText("--reply", "needs hex bytes");
  }
  const int transports = (o.device.empty() ? 0 : 1) + (o.pty ? 1 : 0) + (o.tcpHost.empty() ? 0 : 1);
  if (transports != 1) return std::string("give exactly one of --device, --pty, --tcp");
  const int downloads = (o.romName.empty() ? 0 : 1) + (o.romSelector ? 1 : 0) +
                        (o.bllName.empty() ? 0 : 1) + (o.rawFrame ? 1 : 0);
  if (downloads != 1) return std::string("give exactly one of --rom, --rom-selector, --bll, --raw");
  if (o.rawFrame.has_value() != o.rawReply.has_value()) {
    return std::string("--raw goes with --reply HEX or --no-reply");
  }
  if (o.modem && !o.tcpHost.empty())
    return std::string("--modem needs a serial line (--device or --pty)");
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
      return BadValueText("--bll-form", "is mca, b or c");
    }
    const auto request = BllRequestForName(o.bllName, o.bllForm == "b");
    if (!request)
      return "a BLL request cannot name " + o.bllName + " (MCA<ddd>.bll or SUB<ddd>.bll)";
    if (!o.bllForm.empty() && (o.bllForm == "c") != (request->first == BllForm::C)) {
      return std::string("SUB<ddd>.bll goes with --bll-form c, MCA<ddd>.bll with mca or b");
    }
    o.download.bllForm = request->first;
    o.download.bllDigits = request->second;
  }
  if (!o.download.expectMissing && o.download.expectedFile.empty()) {
    return std::string(
        "--expect FILE is needed (the local copy of what the loader sends), or --missing");
  }
  return std::nullopt;
}

std::unique_ptr<ITransport> OpenLine(const CliOptions& o, std::ostream& out, std::string& error) {
  if (!o.device.empty()) return OpenSerialDevice(o.device, o.baud, error);
  if (!o.tcpHost.empty()) return ConnectTcp(o.tcpHost, o.tcpPort, o.connectTimeout, error);
  std::unique_ptr<PtyTransport> pty = PtyTransport::Create(error);
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
  CLI::App app;
  ConfigureApp(app);
  CliOptions o;
  RawTexts t;
  DeclareOptions(app, o, t);
  return app.help();
}

int RunTerminalSim(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  // --help and --version win over every other option, as before the library read them.
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      out << UsageText();
      return kExitOk;
    }
    if (a == "--version") {
      out << "terminal-sim " << TERMINAL_SIM_VERSION << "\n";
      return kExitOk;
    }
  }
  CliOptions o;
  if (const std::optional<std::string> e = Parse(args, o)) {
    err << *e << "\nTry 'terminal-sim --help'.\n";
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

// The package's INF files read back through a real INF parser: Wine's setupapi, driven by
// a small Windows program (inf_checker.c) that prints what it reads.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "batch/BatchOptions.h"
#include "custominstall/TestSupport.h"
#include "custominstall/batch/BatchRun.h"
#include "settings/CodePage.h"
#include "settings/PackageSettings.h"
#include "support/ChildProcess.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const std::string kChecker = VB7350_INF_CHECKER;
const std::string kWine = VB7350_WINE64;
const std::string kWineServer = VB7350_WINESERVER;
const std::string kPrefix = VB7350_WINE_PREFIX;
constexpr int kAnswerTimeoutMs = 60000;

// The environment of every Wine process of this test: its own prefix, no debug output,
// and the Korean code page as the ANSI one (it holds ASCII as it is).
std::vector<std::string> WineEnvironment() {
  return {"WINEPREFIX=" + kPrefix, "WINEDEBUG=-all", "LC_ALL=ko_KR.UTF-8",
          "HOME=" + std::string(std::getenv("HOME") != nullptr ? std::getenv("HOME") : "/tmp"),
          "PATH=/usr/bin:/bin"};
}

// One line of an INF section as setupapi reads it.
struct InfLine {
  std::optional<std::string> key;
  std::vector<std::string> fields;  // fields[0] is field 1
};

// Undoes the checker's escapes (\t \r \n \\).
std::string Unescape(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      plain += text[i];
      continue;
    }
    const char next = text[++i];
    plain += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
  }
  return plain;
}

// Runs a Wine tool to its end (bounded); true on exit code 0.
bool RunWine(const std::vector<std::string>& args, int timeoutMs) {
  std::vector<std::string> all = {"-i"};
  for (const std::string& entry : WineEnvironment()) {
    all.push_back(entry);
  }
  all.insert(all.end(), args.begin(), args.end());
  ChildProcess tool("/usr/bin/env", "/", all);
  return tool.Wait(timeoutMs) == 0;
}

// The checker under Wine, fed commands on its stdin; killed and reaped when destroyed.
class InfChecker {
 public:
  InfChecker() {
    // A checker that died must fail the test, not end it with SIGPIPE.
    ::signal(SIGPIPE, SIG_IGN);
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
      return;
    }
    std::vector<std::string> env = WineEnvironment();
    std::vector<char*> envp;
    for (std::string& entry : env) {
      envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string wine = kWine;
    std::string checker = kChecker;
    char* argv[] = {wine.data(), checker.data(), nullptr};
    m_pid = ::fork();
    if (m_pid == 0) {
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      const int log = ::open((kPrefix + ".log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(log, STDERR_FILENO);
      ::execve(argv[0], argv, envp.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    m_toChecker = in[1];
    m_fromChecker = out[0];
  }
  ~InfChecker() {
    if (m_toChecker >= 0) {
      static_cast<void>(::write(m_toChecker, "quit\n", 5));
      ::close(m_toChecker);
    }
    if (m_fromChecker >= 0) {
      ::close(m_fromChecker);
    }
    if (m_pid > 0) {
      for (int i = 0; i < 100 && ::waitpid(m_pid, nullptr, WNOHANG) == 0; ++i) {
        ::usleep(50000);
      }
      if (::waitpid(m_pid, nullptr, WNOHANG) == 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
      }
      // The prefix's Wine server stays a few seconds after its last program; wait for it.
      RunWine({kWineServer, "-w"}, 30000);
    }
  }
  InfChecker(const InfChecker&) = delete;
  InfChecker& operator=(const InfChecker&) = delete;

  /// The answer's lines up to "end"; nothing when the checker is gone or too slow.
  std::optional<std::vector<std::string>> Ask(const std::string& command) {
    if (!command.empty()) {
      const std::string line = command + "\n";
      if (::write(m_toChecker, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        return std::nullopt;
      }
    }
    std::vector<std::string> lines;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerTimeoutMs);
    for (;;) {
      const std::size_t newline = m_buffer.find('\n');
      if (newline != std::string::npos) {
        const std::string line = m_buffer.substr(0, newline);
        m_buffer.erase(0, newline + 1);
        if (line == "end") {
          return lines;
        }
        lines.push_back(line);
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd fd{m_fromChecker, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
        return std::nullopt;
      }
      char chunk[4096];
      const ssize_t got = ::read(m_fromChecker, chunk, sizeof chunk);
      if (got <= 0) {
        return std::nullopt;
      }
      m_buffer.append(chunk, static_cast<std::size_t>(got));
    }
  }

  /// Opens the INF at a host path; false when setupapi refuses it.
  bool Open(const fs::path& path) {
    std::string windows = "Z:" + path.string();
    for (char& c : windows) {
      c = c == '/' ? '\\' : c;
    }
    const auto answer = Ask("open " + windows);
    return answer && answer->size() == 1 && answer->front() == "ok";
  }

  /// Every line of a section of the open INF.
  std::vector<InfLine> Section(const std::string& name) {
    std::vector<InfLine> lines;
    const auto answer = Ask("section " + name);
    for (const std::string& text : answer.value_or(std::vector<std::string>{})) {
      if (text == "line") {
        lines.emplace_back();
      } else if (text.starts_with("key\t") && !lines.empty()) {
        lines.back().key = Unescape(text.substr(4));
      } else if (text.starts_with("field\t") && !lines.empty()) {
        lines.back().fields.push_back(Unescape(text.substr(text.find('\t', 6) + 1)));
      }
    }
    return lines;
  }

 private:
  pid_t m_pid = -1;
  int m_toChecker = -1;
  int m_fromChecker = -1;
  std::string m_buffer;
};

// A package and the values it was given, as the checker must read them back.
struct PackageCase {
  std::string title;
  std::vector<std::string> options;
  PackageSettings given;
};

std::string Field(const std::vector<InfLine>& lines, std::size_t line, std::size_t field) {
  if (line >= lines.size() || field == 0 || field > lines[line].fields.size()) {
    return "<missing>";
  }
  return lines[line].fields[field - 1];
}

// Checks one package folder against what it was given.
void CheckPackage(InfChecker& checker, const fs::path& dir, const PackageSettings& s,
                  const std::string& system) {
  const std::string winun = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  const std::string key = s.UninstallKeyName();
  struct Inf {
    std::string name;
    std::string device;
    std::string hardwareId;
  };
  const std::string usb = "USB\\VID_" + s.vid + "&PID_" + s.pid;
  const Inf infs[] = {
      {s.BusInfName(), s.usbDeviceName, usb},
      {s.VxdInfName(), s.comDeviceName, "VORNCR\\{7A3C91E2-5D04-4B8F-9E61-2C0D4F8A1B53}"},
      {s.W2kInfName(), s.comDeviceName, usb + "&MI_00&OS_NT"},
      {s.WdmInfName(), s.comDeviceName, usb + "&MI_00&OS_9X"},
  };
  std::vector<std::string> copied;
  for (const Inf& inf : infs) {
    SCOPED_TRACE(inf.name);
    ASSERT_TRUE(checker.Open(dir / inf.name)) << "setupapi cannot open it";
    EXPECT_EQ(Field(checker.Section("Version"), 3, 1), s.longName);  // Provider
    const std::vector<InfLine> manufacturer = checker.Section("Manufacturer");
    ASSERT_EQ(manufacturer.size(), 1u);
    EXPECT_EQ(manufacturer[0].key.value_or("<none>"), s.longName);
    const std::vector<InfLine> devices = checker.Section("VORN");
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].key.value_or("<none>"), inf.device);
    EXPECT_EQ(Field(devices, 0, 2), inf.hardwareId);
    // Every copy list named by an install section, and every file it names.
    for (const std::string install :
         {"VORNWdm.Install", "VORNWdm.Install.NT", "VORN.Install", "VORN.Install.NT"}) {
      for (const InfLine& line : checker.Section(install)) {
        if (line.key != "CopyFiles") {
          continue;
        }
        for (const std::string& list : line.fields) {
          for (const InfLine& file : checker.Section(list)) {
            const std::string source = file.fields.size() > 1 ? file.fields[1] : file.fields.at(0);
            EXPECT_TRUE(fs::is_regular_file(dir / source)) << list << ": " << source;
            copied.push_back(source);
          }
        }
      }
    }
    for (const InfLine& line : checker.Section("SourceDisksFiles")) {
      EXPECT_TRUE(fs::is_regular_file(dir / line.key.value_or("<none>"))) << *line.key;
    }
  }
  for (const std::string& file : {s.Uninstaller98Name(), s.UninstallInfo98Name(),
                                  s.Uninstaller2kName(), s.UninstallInfo2kName(), s.VxdInfName()}) {
    EXPECT_NE(std::find(copied.begin(), copied.end(), file), copied.end()) << file;
  }

  // The uninstall entry of both Windows families.
  ASSERT_TRUE(checker.Open(dir / s.BusInfName()));
  const std::vector<InfLine> removal = checker.Section("VORNWdm.RemDev");
  EXPECT_EQ(Field(removal, 0, 2), winun + "\\" + key);
  for (const auto& [section, exe, info] :
       {std::tuple{"VORNWdmUnInst.Reg", s.Uninstaller98Name(), s.UninstallInfo98Name()},
        std::tuple{"VORNWdmUnInst.NT.Reg", s.Uninstaller2kName(), s.UninstallInfo2kName()}}) {
    SCOPED_TRACE(section);
    const std::vector<InfLine> entry = checker.Section(section);
    ASSERT_EQ(entry.size(), 3u);
    EXPECT_EQ(Field(entry, 0, 3), key);
    EXPECT_EQ(Field(entry, 1, 2), winun + "\\" + key);
    EXPECT_EQ(Field(entry, 1, 3), "UninstallString");
    EXPECT_EQ(Field(entry, 1, 5), system + "\\" + exe + " " + system + "\\" + info);
    EXPECT_EQ(Field(entry, 2, 3), "DisplayName");
    EXPECT_EQ(Field(entry, 2, 5), s.comDeviceName);
  }
}

// Why the Wine tests cannot run here; empty when they can. Makes the test prefix once
// (the first wineboot takes half a minute or so), one test at a time.
std::string WineMissing() {
  if (kChecker.empty() || !fs::exists(kChecker) || kWine.empty() || !fs::exists(kWine)) {
    return "Wine (wine64) or the MinGW C compiler is missing; scripts/setup installs wine64 and "
           "gcc-mingw-w64-x86-64-win32";
  }
  const int lock = ::open((kPrefix + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock >= 0) {
    ::flock(lock, LOCK_EX);
  }
  const bool ready =
      fs::exists(fs::path(kPrefix) / "system.reg") || RunWine({kWine, "wineboot", "-i"}, 240000);
  if (lock >= 0) {
    ::close(lock);
  }
  return ready ? "" : "wineboot could not make the prefix " + kPrefix;
}

std::string Utf8(char32_t c) {
  std::string text;
  if (c < 0x800) {
    text += static_cast<char>(0xC0 | (c >> 6));
  } else {
    text += static_cast<char>(0xE0 | (c >> 12));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  text += static_cast<char>(0x80 | (c & 0x3F));
  return text;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char b : bytes) {
    hex += kDigits[static_cast<unsigned char>(b) >> 4];
    hex += kDigits[static_cast<unsigned char>(b) & 0xF];
  }
  return hex;
}

}  // namespace

TEST(WineCodePages, EveryCharacterAcceptedReadsBackAsItself) {
  if (const std::string missing = WineMissing(); !missing.empty()) {
    GTEST_SKIP() << missing;
  }
  InfChecker checker;
  ASSERT_TRUE(checker.Ask("")) << "the checker did not start under Wine";
  for (const CodePageChoice& choice : CodePageChoices()) {
    if (choice.number == kAsciiOnly) {
      continue;
    }
    SCOPED_TRACE(choice.label);
    // Chunks of characters, written as the package writes them and read back by Windows'
    // own tables (MultiByteToWideChar), as a file without a byte-order mark is read.
    std::string expected;
    std::string hex;
    int accepted = 0;
    for (char32_t c = 0x80; c <= 0x10000; ++c) {
      if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF) && CodePageHolds(choice.number, Utf8(c))) {
        expected += Utf8(c);
        hex += Hex(EncodeInCodePage(Utf8(c), choice.number).value_or("?"));
        ++accepted;
      }
      if (hex.size() >= 2000 || (c == 0x10000 && !hex.empty())) {
        const auto answer = checker.Ask("decode " + std::to_string(choice.number) + " " + hex);
        ASSERT_TRUE(answer && answer->size() == 1);
        EXPECT_EQ(Unescape(answer->front().substr(5)), expected);
        expected.clear();
        hex.clear();
      }
    }
    EXPECT_GT(accepted, 90);
  }
}

TEST(WinePackages, EveryInfReadsBackAsGiven) {
  if (const std::string missing = WineMissing(); !missing.empty()) {
    GTEST_SKIP() << missing;
  }

  PackageCase specials{"special characters", {}, {}};
  specials.given.longName = "  100% ; , = [x] & ' # ! ";
  specials.given.comDeviceName = "[COM] %11% 50%% ; a,b=c & ' # !";
  specials.given.usbDeviceName = " USB ; , = [ ] & ' # ! % ";
  // A backslash at the end of a value would join the next line if it stood outside quotes.
  PackageCase backslashes{"backslashes and tabs", {}, {}};
  backslashes.given.longName = "ends in a backslash \\";
  backslashes.given.comDeviceName = "tab\there %\\";
  backslashes.given.usbDeviceName = "\\";
  PackageCase files{"ordinary file names", {}, {}};
  files.given.infPrefix = "A-_(";
  files.given.uninstallFileName = "u n&'(1)";
  files.given.vid = "3E";
  PackageCase korean{"Korean in code page 949", {"--code-page", "949"}, {}};
  korean.given.longName = "\xed\x95\x9c\xea\xb5\xad \xec\xa0\x84\xec\x9e\x90";  // 한국 전자
  korean.given.comDeviceName = "\xed\x8f\xac\xed\x8a\xb8 %1%";                  // 포트 %1%
  korean.given.usbDeviceName = "\xeb\xb3\xb5\xed\x95\xa9 \xec\x9e\xa5\xec\xb9\x98";  // 복합 장치
  const PackageCase cases[] = {{"defaults", {}, {}}, specials, backslashes, files, korean};

  InfChecker checker;
  const std::optional<std::vector<std::string>> hello = checker.Ask("");
  ASSERT_TRUE(hello && hello->size() == 1 && hello->front().starts_with("system\t"))
      << "the checker did not start under Wine";
  const std::string system = Unescape(hello->front().substr(7));

  TempDir temp;
  for (const PackageCase& c : cases) {
    SCOPED_TRACE(c.title);
    const fs::path dir = temp / c.title;
    const PackageSettings& s = c.given;
    std::vector<std::string> args = {"--batch", "--output", dir.string()};
    for (auto field : {&PackageSettings::longName, &PackageSettings::comDeviceName,
                       &PackageSettings::usbDeviceName, &PackageSettings::infPrefix,
                       &PackageSettings::uninstallFileName, &PackageSettings::vid}) {
      args.insert(args.end(), {std::string(OptionForField(field)->name), s.*field});
    }
    args.insert(args.end(), c.options.begin(), c.options.end());
    const BatchResult r = RunWith(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    CheckPackage(checker, dir, s, system);
  }
}

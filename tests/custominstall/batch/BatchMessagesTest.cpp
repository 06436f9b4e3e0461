// VB7350CustomInstall --batch: what it refuses before writing anything, the output folder
// as a person types it, and the cause named after each failure on disk.
#include "batch/RunBatch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"
#include "custominstall/batch/BatchRun.h"
#include "generator/BuildNotice.h"
#include "support/ChildProcess.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : m_name(name) {
    if (const char* old = std::getenv(name)) {
      m_old = old;
      m_hadOld = true;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (m_hadOld) {
      ::setenv(m_name.c_str(), m_old.c_str(), 1);
    } else {
      ::unsetenv(m_name.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string m_name;
  std::string m_old;
  bool m_hadOld = false;
};

// Changes the current folder for the life of the object.
class ScopedCurrentDir {
 public:
  explicit ScopedCurrentDir(const fs::path& dir) : m_old(fs::current_path()) {
    fs::current_path(dir);
  }
  ~ScopedCurrentDir() { fs::current_path(m_old); }
  ScopedCurrentDir(const ScopedCurrentDir&) = delete;
  ScopedCurrentDir& operator=(const ScopedCurrentDir&) = delete;

 private:
  fs::path m_old;
};

constexpr std::string_view kFileNameText =
    "File names cannot contain: \\ / : * ? \" < > | ; , = [ ] % or control characters; found ";
constexpr std::string_view kQuoteText = "Names cannot contain a double quote (\").";

// True once /proc/locks shows pid blocked on a lock ("-> FLOCK ..."); false after 20 s.
bool WaitsForALock(pid_t pid) {
  const std::string owner = " " + std::to_string(pid) + " ";
  for (int attempt = 0; attempt < 400; ++attempt) {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
      if (line.find("-> FLOCK") != std::string::npos && line.find(owner) != std::string::npos) {
        return true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

}  // namespace

TEST(BatchRefusals, FileNamesHoldOnlyWhatAnInfLineReadsAsAFileName) {
  struct Case {
    std::string value;
    std::string message;
  };
  std::vector<Case> cases;
  for (const char bad : std::string("\\/:*?\"<>|;,=[]%")) {
    cases.push_back({std::string("a") + bad, std::string(kFileNameText) + "'" + bad + "'."});
  }
  for (char control = 1; control < 0x20; ++control) {
    if (control != '\r' && control != '\n') {  // line breaks have a message of their own
      const std::string hex = "0123456789ABCDEF";
      cases.push_back({std::string("a") + control, std::string(kFileNameText) + "U+00" +
                                                       hex[static_cast<std::size_t>(control) / 16] +
                                                       hex[static_cast<std::size_t>(control) % 16] +
                                                       "."});
    }
  }
  const std::string edge = "File names cannot begin or end with a space; an INF file drops it.";
  cases.push_back({" a", edge});
  cases.push_back({"a ", edge});
  cases.push_back({"a\xc3\xa9",
                   "File names can hold printable ASCII characters only; found "
                   "'\xc3\xa9' (U+00E9)."});
  cases.push_back(
      {"a\xff", "File names can hold printable ASCII characters only; found byte 0xFF."});
  for (const char* option : {"--uninstall-file-name", "--inf-prefix"}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(option) + " " + c.message);
      TempDir temp;
      const BatchResult r = RunWith(
          {"--batch", "--output", temp.Dir() + "pkg", option, c.value, "--code-page", "949"});
      EXPECT_EQ(r.exitCode, 2);
      EXPECT_EQ(r.err,
                std::string(option) + ": " + c.message + "\n" + std::string(kTryHelpText) + "\n");
      EXPECT_EQ(r.out, "");
      EXPECT_TRUE(FileNames(temp.Path()).empty());
    }
  }
}

TEST(BatchRefusals, AnUninstallFileNameThatWindowsKeepsForADeviceExitsTwo) {
  TempDir temp;
  const BatchResult r =
      RunWith({"--batch", "--output", temp.Dir() + "pkg", "--uninstall-file-name", "Com1"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err,
            "--uninstall-file-name: File names cannot begin with a name Windows keeps for "
            "a device (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9); found 'Com1'.\n"
            "Try 'VB7350CustomInstall --help'.\n");
  EXPECT_TRUE(FileNames(temp.Path()).empty());
  // As an INF prefix the same letters begin longer names ("Com1bus.inf").
  EXPECT_EQ(RunWith({"--batch", "--output", temp.Dir() + "pkg", "--inf-prefix", "Com1"}).exitCode,
            0);
}

TEST(BatchRefusals, ADoubleQuoteInANameOfTheInfStringsExitsTwo) {
  for (const char* option : {"--long-name", "--com-device-name", "--usb-device-name"}) {
    SCOPED_TRACE(option);
    TempDir temp;
    const BatchResult r =
        RunWith({"--batch", "--output", temp.Dir() + "pkg", option, "Foo \"Bar\""});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, std::string(option) + ": " + std::string(kQuoteText) + "\n" +
                         std::string(kTryHelpText) + "\n");
    EXPECT_TRUE(FileNames(temp.Path()).empty());
  }
}

TEST(BatchRefusals, WhatInfStringsAcceptIsStillWritten) {
  TempDir temp;
  const BatchResult r = RunWith({"--batch", "--output", temp.Dir(), "--short-name", "\"s\"",
                                 "--long-name", "100% \\ Acme; Inc, Ltd", "--uninstall-file-name",
                                 "u n&'(1)", "--com-device-name", "Port\\1 %2%"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string bus = ReadFile(temp / "vornbus.inf");
  EXPECT_NE(bus.find("\r\nProvider = \"100% \\ Acme; Inc, Ltd\"\r\n"), std::string::npos);
  // The DisplayName field is read directly, so its % is doubled; the [Strings] value is not.
  EXPECT_NE(bus.find(" , \"DisplayName\",,\"Port\\1 %%2%%\"\r\n"), std::string::npos);
  EXPECT_NE(bus.find("\r\nCustomerDataPath = \"Port\\1 %2%\"\r\n"), std::string::npos);
  EXPECT_TRUE(ReadFile(temp / "u n&'(1).u98").starts_with("Port\\1 %2%\r\n"));
}

TEST(BatchConcurrency, ARunWaitsForAnotherRunInTheSameFolder) {
  TempDir temp;
  const std::string dir = temp.Dir() + "pkg";
  fs::create_directory(dir);
  {
    // Stand in for the other run: hold the folder's lock as a run does.
    const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    ChildProcess run(VB7350_CUSTOMINSTALL_EXE, temp.Dir(), {"--batch", "--output", dir});
    EXPECT_TRUE(WaitsForALock(run.Pid()));
    EXPECT_TRUE(FileNames(dir).empty());
    ::close(folder);
    EXPECT_EQ(run.Wait(20000), 0);
  }
  EXPECT_EQ(FileNames(dir).size(), 20u);  // the lock added no file of its own
}

TEST(BatchOutputFolder, DotsAndDoubledSlashesSucceedTheFirstTime) {
  TempDir temp;
  for (const std::string& typed : {temp.Dir() + "new/.", temp.Dir() + "a/b/..",
                                   temp.Dir() + "c//d/./", temp.Dir() + "e/f/../g"}) {
    SCOPED_TRACE(typed);
    const BatchResult r = RunWith({"--batch", "--output", typed});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Files Successfully Generated\n");
  }
  EXPECT_EQ(FileNames(temp / "new").size(), 20u);
  EXPECT_EQ(FileNames(temp / "a").size(), 20u);  // ".." resolved first: b is never made
  EXPECT_FALSE(fs::exists(temp / "a" / "b"));
  EXPECT_EQ(FileNames(temp / "c" / "d").size(), 20u);
  EXPECT_EQ(FileNames(temp / "e" / "g").size(), 20u);
}

TEST(BatchOutputFolder, TildeIsHomeAndARelativeFolderIsShownAbsolute) {
  TempDir temp;
  fs::create_directory(temp / "home");
  fs::create_directory(temp / "work");
  const ScopedEnv home("HOME", (temp / "home").string());
  const ScopedCurrentDir current(temp / "work");

  BatchResult r = RunWith({"--batch", "--output=~/pkg", "--print-summary"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FileNames(temp / "home" / "pkg").size(), 20u);
  EXPECT_TRUE(r.out.ends_with("\r\n\r\n" + temp.Dir() + "home/pkg/")) << r.out;
  EXPECT_FALSE(fs::exists(temp / "work" / "~"));

  r = RunWith({"--batch", "--output", "rel/../out", "--print-summary"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(FileNames(temp / "work" / "out").size(), 20u);
  EXPECT_TRUE(r.out.ends_with("\r\n\r\n" + temp.Dir() + "work/out/")) << r.out;
}

TEST(BatchFailures, AFifoNamedLikeAPackageFileIsReplacedByTheFile) {
  TempDir temp;
  ASSERT_EQ(::mkfifo((temp / "vornbus.sys").c_str(), 0666), 0);
  ASSERT_EQ(::mkfifo((temp / "setup.ini").c_str(), 0666), 0);
  const BatchResult r = RunWith({"--batch", "--output", temp.Dir()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Files Successfully Generated\n");
  EXPECT_TRUE(fs::is_regular_file(temp / "vornbus.sys"));
  EXPECT_TRUE(fs::is_regular_file(temp / "setup.ini"));
  EXPECT_FALSE(ReadFile(temp / "vornbus.sys").empty());
  EXPECT_EQ(FileNames(temp.Path()).size(), 20u);
}

// Runs the program on args as a user that does not own the temp folders' contents:
// in-process for an ordinary user, or, for root (whom no permission stops), in a user
// namespace that maps root to an unprivileged user. Skips when neither can be had.
struct ProgramRun {
  bool ran = false;
  int exitCode = -1;
  std::string err;
};

ProgramRun RunUnprivileged(const std::string& dir, const std::vector<std::string>& args) {
  ProgramRun run;
  if (::geteuid() != 0) {
    const BatchResult r = RunWith(args);
    return {true, r.exitCode, r.err};
  }
  if (!fs::exists("/usr/bin/unshare")) {
    return run;
  }
  std::vector<std::string> childArgs = {"--map-user=65534", "--map-group=65534",
                                        VB7350_CUSTOMINSTALL_EXE};
  childArgs.insert(childArgs.end(), args.begin(), args.end());
  ChildProcess child("/usr/bin/unshare", dir, childArgs);
  run.exitCode = child.Wait(20000);
  for (const std::string& line : child.ErrLines()) {
    if (line.starts_with("unshare:")) {
      return run;  // no user namespaces here
    }
    run.err += line + "\n";
  }
  run.ran = true;
  return run;
}

TEST(BatchFailures, AReadOnlyFolderNamesThePathAndPermissionDenied) {
  TempDir temp;
  fs::create_directory(temp / "locked");
  fs::permissions(temp / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                       fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
  ProgramRun r = RunUnprivileged(temp.Dir(), {"--batch", "--output", temp.Dir() + "locked"});
  if (!r.ran) {
    GTEST_SKIP() << "no way to run without root's rights";
  }
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, Warning() + "Error: Could Not Open File For Write.\n" + temp.Dir() +
                       "locked/vornbus.inf: Permission denied\n"
                       "Error: Could Not Generate All Files.\n");
  r = RunUnprivileged(temp.Dir(), {"--batch", "--output", temp.Dir() + "locked/sub"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, Warning() + "Error: Could Not Create Directory.\n" + temp.Dir() +
                       "locked/sub/: Permission denied\n");
  EXPECT_TRUE(FileNames(temp / "locked").empty());
}

TEST(BatchFailures, AFullFileSystemNamesTheFileAndNoSpaceLeft) {
  // A 16 KiB tmpfs of our own, in a user and mount namespace so no rights are needed.
  if (!fs::exists("/usr/bin/unshare")) {
    GTEST_SKIP() << "no unshare";
  }
  TempDir temp;
  const std::string dir = temp.Dir() + "small";
  fs::create_directory(dir);
  const std::string script = "mount -t tmpfs -o size=16k tmpfs '" + dir + "' || exit 77; exec '" +
                             VB7350_CUSTOMINSTALL_EXE + "' --batch --output '" + dir + "'";
  ChildProcess child("/usr/bin/unshare", temp.Path().string(), {"-rm", "sh", "-c", script});
  const int code = child.Wait(20000);
  if (code == 77) {
    GTEST_SKIP() << "cannot mount a tmpfs here";
  }
  EXPECT_EQ(code, 1);
  std::vector<std::string> err = child.ErrLines();
  if (!err.empty() && err.front().starts_with("warning: ")) {
    err.erase(err.begin());
  }
  ASSERT_EQ(err.size(), 2u);
  EXPECT_EQ(err[0], "Error: Could Not Generate All Files.");
  EXPECT_TRUE(err[1].starts_with(dir + "/")) << err[1];
  EXPECT_TRUE(err[1].ends_with(": No space left on device")) << err[1];
}

// VB7350CustomInstall --batch: options, checks, exit codes and what it prints.
#include "batch/RunBatch.h"

#include <filesystem>
#include <initializer_list>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "batch/BatchOptions.h"
#include "custominstall/TestSupport.h"
#include "custominstall/batch/BatchRun.h"
#include "generator/BuildNotice.h"
#include "generator/GenerateFiles.h"
#include "support/ChildProcess.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {

const fs::path kGoldenDir = VB7350_GOLDEN_DIR;

std::string Repeated(const std::string& text, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i) {
    repeated += text;
  }
  return repeated;
}

std::vector<std::string> Args(const std::string& output, std::initializer_list<std::string> more) {
  std::vector<std::string> args = {"--batch", "--output", output};
  args.insert(args.end(), more);
  return args;
}

// A refused value: its line, then where help is, as for any command-line mistake.
std::string Refused(const std::string& line) {
  return line + "\n" + std::string(kTryHelpText) + "\n";
}

}  // namespace

TEST(RunBatch, DefaultsCreateTheFolderWithItsParentsAndWriteTwentyFiles) {
  TempDir temp;
  const std::string output = temp.Dir() + "a/b/package";
  const BatchResult r = RunWith(Args(output, {}));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "Files Successfully Generated\n");
  EXPECT_EQ(r.err, Warning());
  EXPECT_EQ(FileNames(output).size(), 20u);
  for (const std::string& name : FileNames(kGoldenDir / "defaults")) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ReadFile(fs::path(output) / name), ReadFile(kGoldenDir / "defaults" / name));
  }
}

TEST(RunBatch, PrintSummaryFollowsTheOutcome) {
  TempDir temp;
  const BatchResult r = RunWith(
      Args(temp.Dir() + "pkg", {"--print-summary", "--no-preinstaller", "--short-name", "S"}));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ShowLineEnds(r.out),
            ShowLineEnds("Files Successfully Generated\n"
                         "vornun.u98, vornun.u2k\r\nvornxxxx.inf\r\n\r\nS\r\n"
                         "Vorn Microsystems\r\n\r\nVB7350 USB to UART Bridge Controller\r\n"
                         "VB7350 USB Composite Device\r\n\r\n3E7A\r\nB2C9\r\n\r\n"
                         "No\r\n-\r\n-\r\n-\r\n-\r\n-\r\n\r\n" +
                         temp.Dir() + "pkg/"));
  EXPECT_EQ(FileNames(temp.Path() / "pkg").size(), 19u);
}

TEST(RunBatch, OptionsReachTheFilesAndLowerCaseIdsBecomeCapitals) {
  // The odd settings of the golden files, without the double quotes that the names may
  // no longer hold: the file without those names is the golden one byte for byte, the
  // others are what the generator writes for the same record.
  TempDir temp;
  const BatchResult r =
      RunWith(Args(temp.Dir() + "batch",
                   {"--uninstall-file-name", "my un", "--inf-prefix", "ab", "--long-name",
                    "Acme Best 100% Devices, Inc.", "--com-device-name", "Port, COM 50% $(Vid)",
                    "--usb-device-name", "  Composite %1% X ", "--vid", "3e", "--pid", "1",
                    "--target-directory", "D:\\Drivers, v2\\50% off", "--no-setup-gui"}));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(ReadFile(temp / "batch" / "my un.u2k"), ReadFile(kGoldenDir / "odd" / "my un.u2k"));

  PackageSettings s;
  s.uninstallFileName = "my un";
  s.infPrefix = "ab";
  s.longName = "Acme Best 100% Devices, Inc.";
  s.comDeviceName = "Port, COM 50% $(Vid)";
  s.usbDeviceName = "  Composite %1% X ";
  s.vid = "3E";
  s.pid = "1";
  s.targetDirectory = "D:\\Drivers, v2\\50% off";
  s.showSetupGui = false;
  s.outputDirectory = temp.Dir() + "direct/";
  fs::create_directory(temp / "direct");
  RecordingMessageBox box;
  ASSERT_TRUE(GenerateFiles(s, box));
  const std::vector<std::string> names = FileNames(temp / "direct");
  EXPECT_EQ(names, FileNames(temp / "batch"));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ReadFile(temp / "batch" / name), ReadFile(temp / "direct" / name));
  }
  EXPECT_NE(ReadFile(temp / "batch" / "abbus.inf")
                .find("\r\nProvider = \"Acme Best 100% Devices, "
                      "Inc.\"\r\n"),
            std::string::npos);
}

TEST(RunBatch, NoPreinstallerDoesNotResetTheOtherOptions) {
  TempDir temp;
  ASSERT_EQ(RunWith(Args(temp.Dir(), {"--no-preinstaller", "--no-setup-gui", "--no-uninstall-gui",
                                      "--target-directory", "C:\\mine"}))
                .exitCode,
            0);
  EXPECT_EQ(ReadFile(temp.Path() / "vornun.u2k"),
            "*VID_3E7A&PID_B2C9*\r\nQuiet\r\nNoLeaveSource\r\nVORNCOMM&3E7A&B2C9\r\nC:\\mine\r\n");
  EXPECT_FALSE(fs::exists(temp.Path() / "PreInstaller.exe"));
}

TEST(RunBatch, BadValuesAreRefusedWithThePagesTextsAndNothingIsWritten) {
  struct Case {
    std::vector<std::string> options;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--inf-prefix", ""}, "--inf-prefix: Please fill in all blanks."},
      {{"--short-name", ""}, "--short-name: Please fill in all blanks."},
      {{"--usb-device-name", ""}, "--usb-device-name: Please fill in all blanks."},
      {{"--vid", "3E7G"}, "--vid: Please enter a valid hexadecimal number."},
      {{"--vid", "", "--pid", "12"}, "--vid: Please fill in all blanks."},
      {{"--pid", "0x1"}, "--pid: Leave out the 0x: type the hexadecimal digits only, e.g. 3E7A."},
      {{"--vid", "0X3E7A"},
       "--vid: Leave out the 0x: type the hexadecimal digits only, e.g. 3E7A."},
      {{"--long-name", "\xea\xb5\xad"},
       "--long-name: '\xea\xb5\xad' (U+AD6D) is beyond ASCII. Windows reads an INF file without a "
       "byte-order mark in its own code page, so choose the code page of this text with "
       "--code-page N (874, 932, 936, 949, 950, 1250-1258)."},
      {{"--target-directory", "C:\\\xc3\xa9t\xc3\xa9", "--code-page", "949"},
       "--target-directory: '\xc3\xa9' (U+00E9) is not in code page 949."},
      {{"--com-device-name", "\xe9"}, "--com-device-name: byte 0xE9 is not UTF-8 text."},
      {{"--usb-device-name", "a\x1a"},
       "--usb-device-name: Names cannot contain Ctrl+Z (U+001A): an INF file ends there."},
      {{"--long-name", Repeated("\xea\xb5\xad", 256), "--code-page", "949"},
       "--long-name: takes at most 255 characters; got 256."},
      {{"--target-directory", "C:drivers"},
       "--target-directory: Directory cannot contain: / : * ? \" < > |"},
      {{"--target-directory", "C:\\a\tb"},
       "--target-directory: Directory cannot contain control characters; found U+0009."},
      {{"--inf-prefix", "abcde"}, "--inf-prefix: takes at most 4 characters; got 5."},
      {{"--uninstall-file-name", "123456789"},
       "--uninstall-file-name: takes at most 8 characters; got 9."},
      {{"--short-name", std::string(32, 's')},
       "--short-name: takes at most 31 characters; got 32."},
      {{"--vid", "3E7A0"}, "--vid: takes at most 4 characters; got 5."},
      {{"--target-directory", "C:\\" + std::string(258, 'd')},
       "--target-directory: takes at most 260 characters; got 261."},
      {{"--long-name", "two\nlines"}, "--long-name: must not contain a line break."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    TempDir temp;
    std::vector<std::string> args = {"--batch", "--output", temp.Dir() + "pkg"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const BatchResult r = RunWith(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, Refused(c.message));
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(fs::exists(temp.Path() / "pkg"));
    EXPECT_TRUE(FileNames(temp.Path()).empty());
  }
}

TEST(RunBatch, BadOutputFolderIsRefused) {
  TempDir temp;
  BatchResult r = RunWith(Args(temp.Dir() + "a\\b", {}));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, Refused("--output: Directory cannot contain: \\ : * ? \" < > |"));
  r = RunWith(Args("", {}));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, Refused("--output: Please fill in all blanks."));
  r = RunWith(Args(temp.Dir() + std::string(300, 'o'), {}));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(r.err.starts_with("--output: takes at most 260 characters")) << r.err;
  EXPECT_TRUE(FileNames(temp.Path()).empty());
}

TEST(RunBatch, CommandLineMistakesPrintOneLineAndWhereHelpIsAndExitTwo) {
  struct Case {
    std::vector<std::string> args;
    std::string firstLine;
  };
  const std::vector<Case> cases = {
      {{"--batch", "--output", "x", "--vid"}, "option '--vid' needs a value"},
      {{"--batch", "--output"}, "option '--output' needs a value"},
      {{"--batch", "--output", "x", "--bogus"}, "unknown option '--bogus'"},
      {{"--batch", "--output", "x", "--bogus=1"}, "unknown option '--bogus'"},
      {{"--batch", "--output", "x", "-x"}, "unknown option '-x'"},
      {{"--batch", "--output", "x", "--code-page", "1200"},
       "--code-page: '1200' is not a code page this program writes; use one of 874, 932, 936, "
       "949, 950, 1250-1258."},
      {{"--batch", "--output", "x", "--print-summary=yes"}, "--print-summary: takes no value"},
      {{"--batch", "--output", "x", "stray"}, "unexpected argument 'stray'"},
      {{"--batch", "--output", "x", "-"}, "unexpected argument '-'"},
      {{"--batch", "--output", "x", "--", "--print-summary"},
       "unexpected argument '--print-summary'"},
      {{"--batch"}, "missing option '--output'"},
      {{"--output", "x", "--long-name", "--help"}, "missing option '--batch'"},
      {{"--long-name", "--batch", "--output", "x"}, "missing option '--batch'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.firstLine);
    TempDir temp;
    const BatchResult r = RunWith(c.args);
    EXPECT_EQ(r.exitCode, 2);
    // A refused value too: one line, then where the help is.
    EXPECT_EQ(r.err, c.firstLine + "\nTry 'VB7350CustomInstall --help'.\n");
    EXPECT_EQ(r.out, "");
  }
  // The program itself reports an unknown option as such even with no display around.
  ChildProcess noDisplay("/usr/bin/env", "/",
                         {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM",
                          VB7350_CUSTOMINSTALL_EXE, "--bogus"});
  EXPECT_EQ(noDisplay.Wait(20000), 2);
  EXPECT_EQ(noDisplay.ErrLines(), (std::vector<std::string>{"unknown option '--bogus'",
                                                            "Try 'VB7350CustomInstall --help'."}));

  // "--opt=value" splits at the first "=", "--" ends the options.
  TempDir temp;
  const BatchResult r = RunWith({"--batch", "--output=" + temp.Dir() + "a=b",
                                 "--long-name==", "--usb-device-name=abc=", "--"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string bus = ReadFile(temp / "a=b" / "vornbus.inf");
  EXPECT_NE(bus.find("\r\nProvider = \"=\"\r\n"), std::string::npos);
  EXPECT_NE(bus.find("\r\nVORN.CdcBus.Desc = \"abc=\"\r\n"), std::string::npos);
}

TEST(RunBatch, HelpPrintsTheUsageWithEveryOptionOfTheTable) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--batch", "--help", "--bogus"}, {"-h"}, {"--help", "--vid"}}) {
    const BatchResult r = RunWith(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.starts_with("Usage: VB7350CustomInstall --batch --output DIR [options]\n"));
    for (const BatchOption& option : BatchOptions()) {
      const std::string shown =
          "\n  " + std::string(option.name) +
          (option.valueName.empty() ? "" : " " + std::string(option.valueName));
      EXPECT_NE(r.out.find(shown), std::string::npos) << shown;
    }
    EXPECT_EQ(r.err, "");
  }
}

TEST(RunBatch, VersionSaysWhichPayloadsTheBuildHolds) {
  const BatchResult r = RunWith({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  const PayloadBuild build = EmbeddedPayloadBuild();
  EXPECT_EQ(r.out, std::string("VB7350CustomInstall ") + VB7350_VERSION + "\nPayloads: " +
                       (build.placeholders ? "placeholders (not working drivers)" : "real") +
                       "\nPayload manifest SHA-256: " + std::string(build.manifestChecksum) + "\n");
  EXPECT_EQ(r.err, "");
}

TEST(RunBatch, HelpAsTheValueOfAnOptionIsAValue) {
  TempDir temp;
  const BatchResult r = RunWith(Args(temp.Dir(), {"--long-name", "--help"}));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "Files Successfully Generated\n");
  EXPECT_NE(ReadFile(temp.Path() / "vornbus.inf").find("\r\nProvider = \"--help\"\r\n"),
            std::string::npos);
}

TEST(RunBatch, OutputThatCannotBeWrittenFailsTheRun) {
  TempDir temp;
  std::ostream lostOut(nullptr);  // every write fails, as on a full disk or a closed pipe
  std::ostringstream err;
  const std::vector<std::string_view> generate = {"--batch", "--output", temp.Path().c_str(),
                                                  "--print-summary"};
  EXPECT_EQ(RunBatch(generate, lostOut, err), 1);
  EXPECT_EQ(err.str(), Warning() + "Could not write to standard output.\n");
  EXPECT_EQ(FileNames(temp.Path()).size(), 20u);  // the package itself is complete

  std::ostream lostHelp(nullptr);
  std::ostringstream helpErr;
  const std::vector<std::string_view> help = {"--help"};
  EXPECT_EQ(RunBatch(help, lostHelp, helpErr), 1);
  EXPECT_EQ(helpErr.str(), "Could not write to standard output.\n");
}

TEST(RunBatch, EqualsFormTakesTheValueAsGiven) {
  TempDir temp;
  const BatchResult r = RunWith({"--batch", "--output=" + temp.Dir(), "--long-name=A=B"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(ReadFile(temp.Path() / "vornbus.inf").find("\r\nProvider = \"A=B\"\r\n"),
            std::string::npos);
}

TEST(RunBatch, GenerationFailurePrintsBothMessagesAndExitsOne) {
  TempDir temp;
  const fs::path w2k = temp.Path() / "vornw2k.inf";
  WriteFile(w2k, "keep");
  fs::permissions(w2k, fs::perms::owner_read);
  const BatchResult r = RunWith(Args(temp.Dir(), {"--print-summary"}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, Warning() + "Error: Could Not Open File For Write.\n" + w2k.string() +
                       ": Permission denied\nError: Could Not Generate All Files.\n");
  EXPECT_FALSE(r.out.starts_with("Files")) << r.out;
  EXPECT_TRUE(fs::exists(temp.Path() / "vornbus.inf"));
  EXPECT_TRUE(fs::exists(temp.Path() / "vornvxd.inf"));
  EXPECT_FALSE(fs::exists(temp.Path() / "vornwdm.inf"));
}

TEST(RunBatch, FolderThatCannotBeCreatedExitsOne) {
  TempDir temp;
  WriteFile(temp.Path() / "file", "x");
  const BatchResult r = RunWith(Args(temp.Dir() + "file/sub", {}));
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, Warning() + "Error: Could Not Create Directory.\n" + temp.Dir() +
                       "file/sub/: Not a directory\n");
  EXPECT_EQ(r.out, "");
}

TEST(RunBatch, ExistingFileAsOutputIsRefusedWithItsPath) {
  TempDir temp;
  WriteFile(temp.Path() / "file", "x");
  const BatchResult r = RunWith(Args(temp.Dir() + "file", {}));
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.err, Refused("--output: " + temp.Dir() + "file is a file, not a folder."));
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ReadFile(temp.Path() / "file"), "x");
}

TEST(RunBatch, KoreanNamesInCodePage949AndShortIdsWithAWarning) {
  TempDir temp;
  const std::string longName = Repeated("\xea\xb5\xad", 255);  // the edit box's limit
  const BatchResult r = RunWith(Args(
      temp.Dir(), {"--code-page", "949", "--long-name", longName, "--vid", "3e", "--pid", "0001"}));
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, Warning() +
                       "warning: --vid: Windows reports USB IDs with four digits, so 3E matches "
                       "no device; type 003E.\n");
  // U+AD6D is B1 B9 in code page 949.
  EXPECT_NE(ReadFile(temp.Path() / "vornbus.inf")
                .find("\r\nProvider = \"" + Repeated("\xb1\xb9", 255) + "\"\r\n"),
            std::string::npos);
  EXPECT_NE(ReadFile(temp.Path() / "vornun.u98").find(Repeated("\xb1\xb9", 255)),
            std::string::npos);
}

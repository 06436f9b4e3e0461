// The generation run when files cannot be written: where it stops and what it says.
#include "generator/GenerateFiles.h"

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "custominstall/TestSupport.h"
#include "generator/SetupInfo.h"

namespace fs = std::filesystem;
using namespace testsupport;

namespace {
const fs::path kGoldenDir = VB7350_GOLDEN_DIR;
}  // namespace

TEST(GenerateFilesFailure, ReadOnlyW2kInfStopsAfterBusAndVxdInfs) {
  CTempDir temp;
  const fs::path w2k = temp.Path() / "vornw2k.inf";
  WriteFile(w2k, "old contents");
  fs::permissions(w2k, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  PackageSettings s;
  s.OutputDirectory = temp.Dir();
  CRecordingMessageBox box;

  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{OpenFailure(), RunFailed()}));
  EXPECT_EQ(FileNames(temp.Path()),
            (std::vector<std::string>{"vornbus.inf", "vornvxd.inf", "vornw2k.inf"}));
  EXPECT_EQ(ReadFile(temp.Path() / "vornbus.inf"), ReadFile(kGoldenDir / "defaults/vornbus.inf"));
  EXPECT_EQ(ReadFile(temp.Path() / "vornvxd.inf"), ReadFile(kGoldenDir / "defaults/vornvxd.inf"));
  EXPECT_EQ(ReadFile(w2k), "old contents");
}

TEST(GenerateFilesFailure, VxdInfOpenFailureUsesTheExclamationIcon) {
  CTempDir temp;
  fs::create_directory(temp.Path() / "vornvxd.inf");  // a folder in the way
  PackageSettings s;
  s.OutputDirectory = temp.Dir();
  CRecordingMessageBox box;
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages,
            (std::vector<RecordedMessage>{OpenFailure(MessageIcon::Exclamation), RunFailed()}));
  EXPECT_EQ(FileNames(temp.Path()), (std::vector<std::string>{"vornbus.inf", "vornvxd.inf"}));
}

TEST(GenerateFilesFailure, MissingOrUnwritableFolderFailsCleanly) {
  CTempDir temp;
  std::vector<std::string> folders = {temp.Dir() + "missing/"};
  if (fs::is_directory("/proc/self")) {
    folders.push_back("/proc/");  // refuses new files even to root
  }
  if (::geteuid() != 0) {
    fs::create_directory(temp.Path() / "locked");
    fs::permissions(temp.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    folders.push_back(temp.Dir() + "locked/");
  }
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    PackageSettings s;
    s.OutputDirectory = folder;
    CRecordingMessageBox box;
    EXPECT_FALSE(GenerateFiles(s, box));
    EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{OpenFailure(), RunFailed()}));
  }
  EXPECT_FALSE(fs::exists(temp.Path() / "missing"));  // the run never creates folders
}

TEST(GenerateFilesFailure, WriteErrorAfterOpenFailsTheRun) {
  if (!fs::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full";
  }
  CTempDir temp;
  fs::create_symlink("/dev/full", temp.Path() / "vornbus.inf");  // opens, then cannot write
  PackageSettings s;
  s.OutputDirectory = temp.Dir();
  CRecordingMessageBox box;
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{RunFailed()});
  EXPECT_FALSE(fs::exists(temp.Path() / "vornvxd.inf"));
}

TEST(GenerateFilesFailure, PipeInTheWayFailsInsteadOfWaiting) {
  CTempDir temp;
  ASSERT_EQ(::mkfifo((temp.Path() / "vornbus.inf").c_str(), 0666), 0);
  PackageSettings s;
  s.OutputDirectory = temp.Dir();
  CRecordingMessageBox box;
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{OpenFailure(), RunFailed()}));
}

TEST(GenerateFilesFailure, PayloadsGoOutInTheirOrder) {
  // A folder in the way of one payload shows which payloads were written before it:
  // vornwh95.sys (id 152) goes before vornwhnt.sys (id 147).
  struct Case {
    const char* blocked;
    const char* writtenBefore;
    const char* notWritten;
  };
  const Case cases[] = {{"vornwhnt.sys", "vornwh95.sys", "vorncomm.vxd"},
                        {"vornwh95.sys", "vornser.sys", "vornwhnt.sys"},
                        {"vornun.exe", "vornvcr.vxd", "vornun2k.exe"},
                        {"PreInstaller.exe", "vornun2k.exe", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.blocked);
    CTempDir temp;
    fs::create_directory(temp.Path() / c.blocked);
    PackageSettings s;
    s.OutputDirectory = temp.Dir();
    CRecordingMessageBox box;
    EXPECT_FALSE(GenerateFiles(s, box));
    EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{OpenFailure(), RunFailed()}));
    EXPECT_TRUE(fs::is_regular_file(temp.Path() / c.writtenBefore));
    if (*c.notWritten != '\0') {
      EXPECT_FALSE(fs::exists(temp.Path() / c.notWritten));
    }
  }
}

TEST(GenerateFilesFailure, NameWithASlashIsNotWrittenOutsideTheFolder) {
  CTempDir temp;
  fs::create_directory(temp.Path() / "pkg");
  fs::create_directory(temp.Path() / "pkg" / "a");
  PackageSettings s;
  s.OutputDirectory = temp.Dir() + "pkg/";
  s.UninstallFileName = "../x";
  CRecordingMessageBox box;
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{OpenFailure(), RunFailed()}));
  EXPECT_EQ(FileNames(temp.Path()), std::vector<std::string>{"pkg"});
  EXPECT_EQ(FileNames(temp.Path() / "pkg").size(), 5u);  // a/ and the four INF files

  s.UninstallFileName = "vornun";
  s.InfPrefix = "a/";
  box.messages.clear();
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{OpenFailure(), RunFailed()}));
  EXPECT_TRUE(FileNames(temp.Path() / "pkg" / "a").empty());
}

TEST(WriteSetupInfo, StopsAtTheFileThatCannotBeCreated) {
  CTempDir temp;
  fs::create_directory(temp.Path() / "setup.ini");
  PackageSettings s;
  s.OutputDirectory = temp.Dir();
  CRecordingMessageBox box;
  EXPECT_FALSE(WriteSetupInfo(s, box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{OpenFailure()});
  EXPECT_EQ(ReadFile(temp.Path() / "vornun.u98"), ReadFile(kGoldenDir / "defaults/vornun.u98"));
  EXPECT_EQ(ReadFile(temp.Path() / "vornun.u2k"), ReadFile(kGoldenDir / "defaults/vornun.u2k"));
}

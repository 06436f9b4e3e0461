// The generation run when files cannot be written: where it stops and what it says.
#include "generator/GenerateFiles.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
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
  TempDir temp;
  const fs::path w2k = temp.Path() / "vornw2k.inf";
  WriteFile(w2k, "old contents");
  fs::permissions(w2k, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;

  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, (std::vector<RecordedMessage>{
                              OpenFailure(Cause(w2k, "Permission denied")), RunFailed()}));
  EXPECT_EQ(FileNames(temp.Path()),
            (std::vector<std::string>{"vornbus.inf", "vornvxd.inf", "vornw2k.inf"}));
  EXPECT_EQ(ReadFile(temp.Path() / "vornbus.inf"), ReadFile(kGoldenDir / "defaults/vornbus.inf"));
  EXPECT_EQ(ReadFile(temp.Path() / "vornvxd.inf"), ReadFile(kGoldenDir / "defaults/vornvxd.inf"));
  EXPECT_EQ(ReadFile(w2k), "old contents");
}

TEST(GenerateFilesFailure, VxdInfOpenFailureUsesTheExclamationIcon) {
  TempDir temp;
  fs::create_directory(temp.Path() / "vornvxd.inf");  // a folder in the way
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages,
            (std::vector<RecordedMessage>{OpenFailure(Cause(temp / "vornvxd.inf", "Is a directory"),
                                                      MessageIcon::Exclamation),
                                          RunFailed()}));
  EXPECT_EQ(FileNames(temp.Path()), (std::vector<std::string>{"vornbus.inf", "vornvxd.inf"}));
}

TEST(GenerateFilesFailure, MissingOrUnwritableFolderFailsCleanly) {
  TempDir temp;
  WriteFile(temp / "file", "x");
  // Each with the reason the system gives; an empty reason is not checked.
  std::vector<std::pair<std::string, std::string>> folders = {
      {temp.Dir() + "missing/", "No such file or directory"},
      {temp.Dir() + "file/", "Not a directory"}};
  if (fs::is_directory("/proc/self")) {
    folders.emplace_back("/proc/", "");  // refuses new files even to root
  }
  if (::geteuid() != 0) {
    fs::create_directory(temp.Path() / "locked");
    fs::permissions(temp.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    folders.emplace_back(temp.Dir() + "locked/", "Permission denied");
  }
  for (const auto& [folder, reason] : folders) {
    SCOPED_TRACE(folder);
    PackageSettings s;
    s.outputDirectory = folder;
    RecordingMessageBox box;
    EXPECT_FALSE(GenerateFiles(s, box));
    ASSERT_EQ(box.messages.size(), 2u);
    const std::string detail = box.messages[0].detail;
    EXPECT_EQ(box.messages[0], OpenFailure(detail));
    EXPECT_EQ(box.messages[1], RunFailed());
    EXPECT_TRUE(detail.starts_with(folder + "vornbus.inf: ")) << detail;
    if (!reason.empty()) {
      EXPECT_EQ(detail, Cause(folder + "vornbus.inf", reason));
    }
  }
  EXPECT_FALSE(fs::exists(temp.Path() / "missing"));  // the run never creates folders
}

// Lowers the largest file this process may write, for the life of the object; a write
// past it then fails with EFBIG (its signal ignored) after the file was created.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = m_saved;
    lowered.rlim_cur = bytes;
    m_active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;
  bool Active() const { return m_active; }

 private:
  rlimit m_saved{};
  void (*m_oldHandler)(int) = nullptr;
  bool m_active = false;
};

TEST(GenerateFilesFailure, WriteErrorAfterTheCreateNamesTheFileInTheRunsMessage) {
  TempDir temp;
  WriteFile(temp / "vornbus.inf", "old");
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  bool generated = true;
  {
    FileSizeLimit limit(1024);  // vornbus.inf is larger
    ASSERT_TRUE(limit.Active());
    generated = GenerateFiles(s, box);
  }
  EXPECT_FALSE(generated);
  EXPECT_EQ(box.messages,
            std::vector<RecordedMessage>{RunFailed(Cause(temp / "vornbus.inf", "File too large"))});
  // The old file stays whole and no temporary file is left behind.
  EXPECT_EQ(FileNames(temp.Path()), std::vector<std::string>{"vornbus.inf"});
  EXPECT_EQ(ReadFile(temp / "vornbus.inf"), "old");
}

TEST(GenerateFilesFailure, SymlinkOrFifoInPlaceIsReplacedNeverFollowed) {
  TempDir temp;
  fs::create_directory(temp / "pkg");
  WriteFile(temp / "victim.txt", "keep me");
  fs::create_symlink("../victim.txt", temp / "pkg" / "vornbus.sys");
  fs::create_symlink("../victim.txt", temp / "pkg" / "vornbus.inf");
  ASSERT_EQ(::mkfifo((temp / "pkg" / "vornw2k.inf").c_str(), 0666), 0);
  ASSERT_EQ(::mkfifo((temp / "pkg" / "vornun.exe").c_str(), 0666), 0);
  PackageSettings s;
  s.outputDirectory = temp.Dir() + "pkg/";
  RecordingMessageBox box;
  EXPECT_TRUE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages, std::vector<RecordedMessage>{RunSucceeded()});
  EXPECT_EQ(ReadFile(temp / "victim.txt"), "keep me");
  EXPECT_EQ(FileNames(temp / "pkg").size(), 20u);  // no temporary file left
  for (const char* name : {"vornbus.sys", "vornbus.inf", "vornw2k.inf", "vornun.exe"}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(temp / "pkg" / name)));
  }
  EXPECT_EQ(ReadFile(temp / "pkg" / "vornbus.inf"), ReadFile(kGoldenDir / "defaults/vornbus.inf"));
  EXPECT_EQ(ReadFile(temp / "pkg" / "vornw2k.inf"), ReadFile(kGoldenDir / "defaults/vornw2k.inf"));
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
    TempDir temp;
    fs::create_directory(temp.Path() / c.blocked);
    PackageSettings s;
    s.outputDirectory = temp.Dir();
    RecordingMessageBox box;
    EXPECT_FALSE(GenerateFiles(s, box));
    EXPECT_EQ(box.messages,
              (std::vector<RecordedMessage>{OpenFailure(Cause(temp / c.blocked, "Is a directory")),
                                            RunFailed()}));
    EXPECT_TRUE(fs::is_regular_file(temp.Path() / c.writtenBefore));
    if (*c.notWritten != '\0') {
      EXPECT_FALSE(fs::exists(temp.Path() / c.notWritten));
    }
  }
}

TEST(GenerateFilesFailure, NameWithASlashIsNotWrittenOutsideTheFolder) {
  TempDir temp;
  fs::create_directory(temp.Path() / "pkg");
  fs::create_directory(temp.Path() / "pkg" / "a");
  PackageSettings s;
  s.outputDirectory = temp.Dir() + "pkg/";
  s.uninstallFileName = "../x";
  RecordingMessageBox box;
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages,
            (std::vector<RecordedMessage>{
                OpenFailure(s.outputDirectory + "../x.u98: Invalid argument"), RunFailed()}));
  EXPECT_EQ(FileNames(temp.Path()), std::vector<std::string>{"pkg"});
  EXPECT_EQ(FileNames(temp.Path() / "pkg").size(), 5u);  // a/ and the four INF files

  s.uninstallFileName = "vornun";
  s.infPrefix = "a/";
  box.messages.clear();
  EXPECT_FALSE(GenerateFiles(s, box));
  EXPECT_EQ(box.messages,
            (std::vector<RecordedMessage>{
                OpenFailure(s.outputDirectory + "a/bus.inf: Invalid argument"), RunFailed()}));
  EXPECT_TRUE(FileNames(temp.Path() / "pkg" / "a").empty());
}

TEST(WriteSetupInfo, StopsAtTheFileThatCannotBeCreated) {
  TempDir temp;
  fs::create_directory(temp.Path() / "setup.ini");
  PackageSettings s;
  s.outputDirectory = temp.Dir();
  RecordingMessageBox box;
  EXPECT_FALSE(WriteSetupInfo(s, box));
  EXPECT_EQ(box.messages,
            std::vector<RecordedMessage>{OpenFailure(Cause(temp / "setup.ini", "Is a directory"))});
  EXPECT_EQ(ReadFile(temp.Path() / "vornun.u98"), ReadFile(kGoldenDir / "defaults/vornun.u98"));
  EXPECT_EQ(ReadFile(temp.Path() / "vornun.u2k"), ReadFile(kGoldenDir / "defaults/vornun.u2k"));
}

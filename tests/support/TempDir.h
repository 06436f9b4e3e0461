// Test helpers shared by every suite: a temporary folder removed with all it holds,
// and whole-file reading and writing in binary mode.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

/// A fresh folder under the system's temp folder, removed with everything in it
/// (read-only entries included). Throws when no folder can be made.
class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "vb7350-test");
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& Path() const { return m_path; }
  /// The folder with a trailing '/', as an output folder is written.
  std::string Dir() const { return m_path.string() + "/"; }
  /// A path inside the folder.
  std::filesystem::path operator/(std::string_view name) const { return m_path / name; }
  /// A path inside the folder, as a string.
  std::string File(std::string_view name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

/// The whole file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);
/// Creates or truncates the file and writes bytes; false on failure.
bool WriteFile(const std::filesystem::path& path, std::string_view bytes);
/// Names of the entries of a folder, sorted.
std::vector<std::string> FileNames(const std::filesystem::path& dir);

}  // namespace testsupport

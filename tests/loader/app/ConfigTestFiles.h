// Real files for the configuration tests: a temporary folder and whole-file I/O.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace configtest {

/// A temporary folder removed with everything in it.
class TempDir {
public:
  TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "config-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string File(std::string_view name) const { return (m_path / name).string(); }

private:
  std::filesystem::path m_path;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline void WriteFile(const std::string& path, std::string_view content) {
  FilePtr f(std::fopen(path.c_str(), "wb"));
  if (f) std::fwrite(content.data(), 1, content.size(), f.get());
}

inline std::string ReadFile(const std::string& path) {
  std::string content;
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return content;
  char chunk[4096];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) content.append(chunk, n);
  return content;
}

}  // namespace configtest

// Shared helpers of the VB7350CustomInstall tests: a recording message box, a
// temporary folder, whole-file reading and a printer that shows line ends.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "settings/MessageBox.h"

namespace testsupport {

struct RecordedMessage {
  std::string text;
  std::string caption;
  MessageIcon icon;
  MessageButtons buttons;
  bool ownedByPage;
  bool operator==(const RecordedMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const RecordedMessage& m) {
  return os << "{\"" << m.text << "\", caption \"" << m.caption << "\", icon "
            << static_cast<int>(m.icon) << ", buttons " << static_cast<int>(m.buttons)
            << (m.ownedByPage ? ", owned}" : ", no owner}");
}

/// Remembers every message shown, answers OK (or Yes).
class CRecordingMessageBox final : public IMessageBox {
 public:
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage) override {
    messages.push_back({std::string(text), std::string(caption), icon, buttons, ownedByPage});
    return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
  }
  std::vector<RecordedMessage> messages;
};

/// The messages of the design: a writer that cannot create its file, and the run's outcome.
inline RecordedMessage OpenFailure(MessageIcon icon = MessageIcon::Stop) {
  return {"Error: Could Not Open File For Write.", "", icon, MessageButtons::Ok, false};
}
inline RecordedMessage RunSucceeded() {
  return {"Files Successfully Generated", "VB7350CustomInstall", MessageIcon::None,
          MessageButtons::Ok, true};
}
inline RecordedMessage RunFailed() {
  return {"Error: Could Not Generate All Files.", "VB7350CustomInstall", MessageIcon::Stop,
          MessageButtons::Ok, true};
}

/// A fresh folder under the system's temp folder, removed with everything in it.
class CTempDir {
 public:
  CTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vb7350-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    }
  }
  CTempDir(const CTempDir&) = delete;
  CTempDir& operator=(const CTempDir&) = delete;
  ~CTempDir() {
    std::error_code error;
    // Tests make files and folders read-only; give the rights back so all can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
      std::filesystem::permissions(
          it->path(), std::filesystem::perms::owner_all,
          std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, error);
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
  }
  const std::filesystem::path& Path() const { return path_; }
  /// The folder as an OutputDirectory: with its trailing '/'.
  std::string Dir() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

/// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const std::streamoff size = in ? static_cast<std::streamoff>(in.tellg()) : -1;
  if (size <= 0) {
    return {};
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  in.seekg(0);
  in.read(bytes.data(), size);
  return bytes;
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

/// Names of the regular files in a folder, sorted.
inline std::vector<std::string> FileNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

/// Makes CR and LF visible in failure output.
inline std::string ShowLineEnds(std::string_view text) {
  std::string shown;
  for (char c : text) {
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n\n";
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace testsupport

// Shared helpers of the VB7350CustomInstall tests: a recording message box and a
// printer that shows line ends (temporary folders and files come from support/).
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
#include "support/TempDir.h"

namespace testsupport {

struct RecordedMessage {
  std::string text;
  std::string caption;
  MessageIcon icon;
  MessageButtons buttons;
  bool ownedByPage;
  std::string detail;
  bool operator==(const RecordedMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const RecordedMessage& m) {
  return os << "{\"" << m.text << "\", caption \"" << m.caption << "\", icon "
            << static_cast<int>(m.icon) << ", buttons " << static_cast<int>(m.buttons)
            << (m.ownedByPage ? ", owned" : ", no owner") << ", detail \"" << m.detail << "\"}";
}

/// Remembers every message shown, answers OK (or Yes).
class RecordingMessageBox final : public IMessageBox {
 public:
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage, std::string_view detail) override {
    messages.push_back(
        {std::string(text), std::string(caption), icon, buttons, ownedByPage, std::string(detail)});
    return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
  }
  std::vector<RecordedMessage> messages;
};

/// "path: reason" as the messages name a failed call.
inline std::string Cause(const std::filesystem::path& path, std::string_view reason) {
  return path.string() + ": " + std::string(reason);
}

/// The messages of the design: a writer that cannot create its file (detail: the path
/// and the system's reason), and the run's outcome.
inline RecordedMessage OpenFailure(std::string detail, MessageIcon icon = MessageIcon::Stop) {
  return {"Error: Could Not Open File For Write.",
          "",
          icon,
          MessageButtons::Ok,
          false,
          std::move(detail)};
}
/// folder: the wizard's success box also names the folder ("Folder: <folder>").
inline RecordedMessage RunSucceeded(const std::string& folder = {}) {
  return {"Files Successfully Generated",
          "VB7350CustomInstall",
          MessageIcon::None,
          MessageButtons::Ok,
          true,
          folder.empty() ? "" : "Folder: " + folder};
}
/// detail names a failure that showed no message of its own (a write after the create).
inline RecordedMessage RunFailed(std::string detail = {}) {
  return {"Error: Could Not Generate All Files.",
          "VB7350CustomInstall",
          MessageIcon::Stop,
          MessageButtons::Ok,
          true,
          std::move(detail)};
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

// A message box for the wizard's tests: records every message and answers each Yes/No
// question from a script (Yes when the script has run out).
#pragma once

#include <deque>
#include <vector>

#include "custominstall/TestSupport.h"

namespace wizardtest {

using testsupport::RecordedMessage;

class ScriptedMessageBox final : public IMessageBox {
 public:
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage, std::string_view detail) override {
    messages.push_back(
        {std::string(text), std::string(caption), icon, buttons, ownedByPage, std::string(detail)});
    if (buttons == MessageButtons::Ok) {
      return MessageResult::Ok;
    }
    if (answers.empty()) {
      return MessageResult::Yes;
    }
    const MessageResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  /// Forgets what was shown so far.
  void Clear() { messages.clear(); }

  std::vector<RecordedMessage> messages;
  std::deque<MessageResult> answers;
};

/// A wizard message: owned by the page, the program's name as caption, OK, no icon.
inline RecordedMessage PageMessage(std::string text) {
  return {std::move(text), "VB7350CustomInstall", MessageIcon::None, MessageButtons::Ok, true, ""};
}
inline RecordedMessage BlanksMessage() {
  return PageMessage("Please fill in all blanks.");
}
inline RecordedMessage HexMessage() {
  return PageMessage("Please enter a valid hexadecimal number.");
}
inline RecordedMessage TargetDirectoryMessage() {
  return PageMessage("Directory cannot contain: / : * ? \" < > |");
}
inline RecordedMessage OutputDirectoryMessage() {
  return PageMessage("Directory cannot contain: \\ : * ? \" < > |");
}
/// found names the refused character as the message does ("';'", "U+0009").
inline RecordedMessage FileNameMessage(const std::string& found) {
  return PageMessage(
      "File names cannot contain: \\ / : * ? \" < > | ; , = [ ] % or control characters; "
      "found " +
      found + ".");
}
inline RecordedMessage QuoteMessage() {
  return PageMessage("Names cannot contain a double quote (\").");
}
inline RecordedMessage CreateQuestion() {
  return {"Directory does not exist, do you want to create it?",
          "VB7350CustomInstall",
          MessageIcon::Question,
          MessageButtons::YesNo,
          true,
          ""};
}
/// detail: the level that could not be created and why.
inline RecordedMessage CreateFailed(std::string detail) {
  return {"Error: Could Not Create Directory.",
          "VB7350CustomInstall",
          MessageIcon::Exclamation,
          MessageButtons::Ok,
          true,
          std::move(detail)};
}

}  // namespace wizardtest

#include <fcntl.h>
#include <unistd.h>

namespace wizardtest {

/// Puts something at path that no writer can open for writing: a read-only file, or,
/// where read-only files do not stop the caller (root), a folder of that name.
inline void MakeUnwritable(const std::filesystem::path& path) {
  testsupport::WriteFile(path, "in the way\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);
  const int fd = ::open(path.c_str(), O_WRONLY);
  if (fd >= 0) {
    ::close(fd);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
  }
}

}  // namespace wizardtest

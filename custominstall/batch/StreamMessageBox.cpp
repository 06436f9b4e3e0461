// Message boxes of the command-line front end.
#include "batch/StreamMessageBox.h"

MessageResult StreamMessageBox::Show(std::string_view text, std::string_view /*caption*/,
                                     MessageIcon icon, MessageButtons buttons, bool /*ownedByPage*/,
                                     std::string_view detail) {
  const bool isError = icon == MessageIcon::Stop || icon == MessageIcon::Exclamation;
  std::ostream& stream = isError ? m_err : m_out;
  stream << text << '\n';
  if (!detail.empty()) {
    stream << detail << '\n';
  }
  stream.flush();
  return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
}

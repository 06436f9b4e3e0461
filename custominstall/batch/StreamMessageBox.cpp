// Message boxes of the command-line front end.
#include "batch/StreamMessageBox.h"

MessageResult CStreamMessageBox::Show(std::string_view text, std::string_view /*caption*/,
                                      MessageIcon icon, MessageButtons buttons,
                                      bool /*ownedByPage*/) {
  const bool isError = icon == MessageIcon::Stop || icon == MessageIcon::Exclamation;
  std::ostream& stream = isError ? err_ : out_;
  stream << text << '\n';
  stream.flush();
  return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
}

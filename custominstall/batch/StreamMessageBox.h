// Message boxes of the command-line front end: each message becomes a line of text.
#pragma once

#include <ostream>

#include "settings/MessageBox.h"

/// Prints errors and warnings (stop or exclamation icon) to err and every other
/// message to out, one line each. Nobody can answer, so a question counts as Yes.
class CStreamMessageBox final : public IMessageBox {
 public:
  CStreamMessageBox(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage) override;

 private:
  std::ostream& out_;
  std::ostream& err_;
};

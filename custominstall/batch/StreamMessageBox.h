// Message boxes of the command-line front end: each message becomes a line of text.
#pragma once

#include <ostream>

#include "settings/MessageBox.h"

/// Prints errors and warnings (stop or exclamation icon) to err and every other
/// message to out, one line each, the detail (path and reason) on the line after.
/// Nobody can answer, so a question counts as Yes.
class StreamMessageBox final : public IMessageBox {
 public:
  StreamMessageBox(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage, std::string_view detail) override;

 private:
  std::ostream& m_out;
  std::ostream& m_err;
};

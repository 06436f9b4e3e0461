// The wizard's message boxes on screen.
#pragma once

#include "settings/MessageBox.h"

/// Shows each message as a modal QMessageBox. A box owned by the page sits over the page
/// that is open; the others have no owner. Every box is titled with the wizard's caption,
/// whatever caption the message names, and is wide enough to show it whole. The detail
/// (path and reason) shows as the box's informative text, under the message.
class QtMessageBox : public IMessageBox {
 public:
  MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                     MessageButtons buttons, bool ownedByPage, std::string_view detail) override;
};

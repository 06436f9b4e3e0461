// The one way this program shows a message: the wizard pops a box, --batch prints, tests record.
#pragma once

#include <string_view>

enum class MessageIcon { None, Stop, Exclamation, Question };
enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No };

/// The application's name, the caption of every owned message box.
inline constexpr std::string_view kAppCaption = "VB7350CustomInstall";

/// Shows one modal message. An empty caption means the system's default caption;
/// ownedByPage is false for boxes that have no owner window. detail, when not empty,
/// names the cause (a path and the system's reason) and is shown after the text: the
/// box's detail text on screen, the next line on a terminal.
class IMessageBox {
 public:
  virtual ~IMessageBox() = default;
  virtual MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                             MessageButtons buttons, bool ownedByPage, std::string_view detail) = 0;
};

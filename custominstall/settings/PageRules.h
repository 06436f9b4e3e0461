// The checks each wizard page makes on its values, in the page's order; --batch makes
// the same checks on its options.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/PackageSettings.h"

/// The first value a page refuses: which field, and the page's message for it.
struct FieldProblem {
  std::string PackageSettings::*field;
  std::string text;
};

/// Names page: no blank; the uninstall file name and the INF prefix can be written as
/// file names in an INF line (InfFileNameProblem), and the uninstall file name names no
/// Windows device (NamesWindowsDevice); the long name holds no double quote
/// and no Ctrl+Z.
std::optional<FieldProblem> CheckNamesPage(const PackageSettings& settings);

/// Device-names page: no blank, and no double quote or Ctrl+Z in either name.
std::optional<FieldProblem> CheckDeviceNamesPage(const PackageSettings& settings);

/// VID/PID page: no "0x" in front, then hexadecimal (VID, then PID) before the blanks
/// check, so an empty ID is reported as a blank.
std::optional<FieldProblem> CheckVidPidPage(const PackageSettings& settings);

/// Options page: the target directory follows the Windows rule for paths and holds no
/// control character.
std::optional<FieldProblem> CheckOptionsPage(const PackageSettings& settings);

/// The way to choose a code page, as each front end names it, for the message about
/// text beyond ASCII.
inline constexpr std::string_view kCodePageOptionWayOut =
    "with --code-page N (874, 932, 936, 949, 950, 1250-1258)";
inline constexpr std::string_view kCodePageChoiceWayOut = "under \"Code page\" on this page";

/// The text fields the chosen code page must hold, in the order of the pages: the short
/// and long name, the two device names and the target directory. The problem's text is
/// the character and what is wrong with it, e.g. "'€' (U+20AC) is not in code page 949.";
/// wayOut ends the message about text beyond ASCII with ASCII only chosen.
std::optional<FieldProblem> CheckCodePage(const PackageSettings& settings, std::string_view wayOut);

/// How the wizard names a field in a message shown away from its page ("Long name").
std::string_view FieldLabel(std::string PackageSettings::*field);

/// The note for a VID or PID of one to three digits (nothing for four): Windows
/// reports USB IDs with four digits, so the short one matches no device.
std::optional<std::string> ShortUsbIdNote(std::string_view id);

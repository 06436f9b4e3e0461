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
  std::string_view text;
};

/// Names page: no blank; the uninstall file name and the INF prefix hold only what
/// Windows accepts in a file name; the long name holds no double quote.
std::optional<FieldProblem> CheckNamesPage(const PackageSettings& settings);

/// Device-names page: no blank, and no double quote in either name.
std::optional<FieldProblem> CheckDeviceNamesPage(const PackageSettings& settings);

/// VID/PID page: hexadecimal (VID, then PID) before the blanks check, so an empty ID
/// is reported as a blank.
std::optional<FieldProblem> CheckVidPidPage(const PackageSettings& settings);

/// Options page: the target directory follows the Windows rule for paths.
std::optional<FieldProblem> CheckOptionsPage(const PackageSettings& settings);

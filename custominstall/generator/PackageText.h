// Writing one text file of the package in the code page the settings chose.
#pragma once

#include <string>
#include <string_view>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// Writes the UTF-8 text as fileName in the package folder, converted to the settings'
/// code page (as it is with ASCII only). False as WritePackageFile is; false without a
/// message, the cause kept for the run's own message, when a character is missing from
/// the code page (the pages refuse such text before a run).
bool WritePackageText(const PackageSettings& settings, const std::string& fileName,
                      std::string_view text, IMessageBox& box, MessageIcon openFailureIcon);

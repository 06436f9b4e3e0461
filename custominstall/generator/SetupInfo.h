// The three line files that the package's uninstallers and preinstaller read.
#pragma once

#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// Texts of UninstallFileName + ".u98", UninstallFileName + ".u2k" and "setup.ini".
std::string BuildUninstallInfo98(const PackageSettings& settings);
std::string BuildUninstallInfo2k(const PackageSettings& settings);
std::string BuildSetupIni(const PackageSettings& settings);

/// Writes the three files in that order, stopping at the first one that fails (after
/// the open-failure message, stop icon, when it cannot be created); true when all are written.
bool WriteSetupInfo(const PackageSettings& settings, IMessageBox& box);

// The Windows 2000/XP port INF: the serial driver as a kernel service.
#pragma once

#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// The whole text of the InfPrefix + "w2k.inf" file for these settings.
std::string BuildW2kInf(const PackageSettings& settings);

/// Writes OutputDirectory + InfPrefix + "w2k.inf"; false (after the open-failure
/// message, stop icon) when it cannot be created, false when the write fails.
bool WriteW2kInf(const PackageSettings& settings, IMessageBox& box);

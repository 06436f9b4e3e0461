// The Windows 9x VCOMM port INF: port registry values and ten logical configurations.
#pragma once

#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// The whole text of the InfPrefix + "vxd.inf" file for these settings.
std::string BuildVxdInf(const PackageSettings& settings);

/// Writes OutputDirectory + InfPrefix + "vxd.inf"; false (after the open-failure
/// message, exclamation icon) when it cannot be created, false when the write fails.
bool WriteVxdInf(const PackageSettings& settings, IMessageBox& box);

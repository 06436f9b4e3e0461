// The Windows 9x WDM port INF: the serial function through WDM drivers.
#pragma once

#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// The whole text of the InfPrefix + "wdm.inf" file for these settings.
std::string BuildWdmInf(const PackageSettings& settings);

/// Writes OutputDirectory + InfPrefix + "wdm.inf"; false (after the open-failure
/// message, stop icon) when it cannot be created, false when the write fails.
bool WriteWdmInf(const PackageSettings& settings, IMessageBox& box);

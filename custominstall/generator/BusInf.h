// The composite USB bus INF: installs the bus driver and records the uninstaller.
#pragma once

#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// The whole text of the InfPrefix + "bus.inf" file for these settings.
std::string BuildBusInf(const PackageSettings& settings);

/// Writes OutputDirectory + InfPrefix + "bus.inf"; false (after the open-failure
/// message, stop icon) when it cannot be created, false when the write fails.
bool WriteBusInf(const PackageSettings& settings, IMessageBox& box);

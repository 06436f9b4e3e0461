// The whole generation run: four INF files, three information files, the payloads.
#pragma once

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// Writes the package into settings.OutputDirectory, stopping at the first step that
/// fails. Shows the writer's own message, then "Files Successfully Generated" or
/// "Error: Could Not Generate All Files." through box; true on success.
bool GenerateFiles(const PackageSettings& settings, IMessageBox& box);

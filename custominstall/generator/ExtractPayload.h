// Copying one embedded payload file into the package folder.
#pragma once

#include <string>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

/// Writes the payload embedded under id as OutputDirectory + name, byte for byte.
/// False after the open-failure message (stop icon) when the file cannot be created;
/// false without a message when the build lacks the payload (nothing is created then)
/// or the write fails.
bool ExtractPayload(const PackageSettings& settings, const std::string& name, int id,
                    IMessageBox& box);

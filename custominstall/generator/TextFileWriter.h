// Writing one generated file whole: create or truncate, one write, checked close.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "settings/MessageBox.h"
#include "settings/PackageSettings.h"

enum class WriteResult { Written, OpenFailed, WriteFailed };

/// Replaces the file at path with exactly these bytes. A regular file without any
/// write permission counts as read-only and is not opened, whoever runs the program.
WriteResult WriteWholeFile(const std::string& path, std::span<const char> bytes);

/// Writes one file of the package. When it cannot be created, shows "Error: Could Not
/// Open File For Write." (no owner, default caption, the given icon); false on any failure.
bool WriteGeneratedFile(const std::string& path, std::span<const char> bytes, IMessageBox& box,
                        MessageIcon openFailureIcon);

/// Writes fileName into the package folder (OutputDirectory + fileName). A name that
/// holds '/' would land outside the folder: it counts as a file that cannot be created.
bool WritePackageFile(const PackageSettings& settings, const std::string& fileName,
                      std::span<const char> bytes, IMessageBox& box, MessageIcon openFailureIcon);

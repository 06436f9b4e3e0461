// The output folder on this host: its default, the trailing separator and the lookup.
#pragma once

#include <string>
#include <string_view>

/// The host's path separator; OutputDirectory always ends with it.
inline constexpr char kHostSeparator = '/';

/// homeDir + "/Vornix/MCU/VB7350/VB7350SetupFiles/" (one separator between the two).
std::string DefaultOutputDirectory(std::string_view homeDir);

/// text with one separator appended unless it already ends with one.
std::string WithTrailingSeparator(std::string_view text);

/// True when a file or folder exists at path, looked up without its trailing separator
/// (the root "/" itself is looked up as it is). The empty text names nothing.
bool OutputPathExists(std::string_view path);

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

/// The folder as a person means it: a leading "~" or "~/" is homeDir, a relative path
/// is taken from the current folder, and ".", ".." and doubled separators are resolved
/// (lexically) so the folder can be created in one go. The empty text stays empty.
std::string ResolveOutputDirectory(std::string_view typed, std::string_view homeDir);

/// The home folder of this user: $HOME, else the password database's entry; empty
/// when neither says.
std::string HomeDirectory();

/// True when a file or folder exists at path, looked up without its trailing separator
/// (the root "/" itself is looked up as it is). The empty text names nothing.
bool OutputPathExists(std::string_view path);

/// text without its trailing separator, unless it is the root "/" itself.
std::string WithoutTrailingSeparator(std::string_view text);

/// True when something that is not a folder (a file, a FIFO, a device) stands at path,
/// looked up as OutputPathExists does; a symlink counts as what it leads to.
bool IsExistingNonFolder(std::string_view path);

/// The message about an output folder that is a file: "PATH is a file, not a folder."
std::string OutputIsNotAFolderText(std::string_view path);

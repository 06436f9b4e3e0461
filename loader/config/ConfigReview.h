// Second look at a Romvale.cfg for the mistakes its value rules cannot see:
// names it does not know (a misspelt key is silently ignored otherwise), keys
// that are never read, two COM names on one device, and image folders that
// cannot be used, and serial lines that share a device or have none.
#pragma once

#include "config/LoaderConfig.h"

#include <string>
#include <string_view>
#include <vector>

/// One warning per unknown section ("line 3: unknown section [Comunication]
/// (did you mean [Communication]?)"), unknown key (naming the nearest known key
/// of its section, or the section it belongs in), key outside any section,
/// repeated section or key (only the first is read), and per pair of COM
/// names in [Ports] that name one device. [Ports] COM9..COM16 are known only
/// when [Communication] PORTS is in the text. Names are escaped for the console.
void ReviewConfigNames(std::string_view text, std::vector<std::string>& warnings);

/// How every warning about PORTS and its lines begins.
inline constexpr std::string_view kLinePortsWarning = "[Communication] PORTS: ";

/// For the serial lines of PORTS: one warning per pair of lines on one device
/// (unless both come from [Ports], which ReviewConfigNames already reports) and
/// per line without a device ([Ports] names none and the number has no default).
void ReviewSerialLines(std::string_view text, const std::vector<SerialLineConfig>& lines,
                       std::vector<std::string>& warnings);

/// One warning per image folder (ROMFILE, BLLFILE) that does not exist, is not
/// a folder, or cannot be read and searched by this process.
std::vector<std::string> ReviewImageFolders(const LoaderConfig& cfg);

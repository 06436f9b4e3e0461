// What the program says about its own build: the placeholder notice and --version.
#pragma once

#include <string>

#include "payloads/Payloads.h"

/// The build option that embeds the real driver files.
inline constexpr std::string_view kPayloadDirOption = "-DVB7350_PAYLOAD_DIR";

/// One line for a build whose payloads are placeholders: the package's drivers and
/// programs will not work, and how to build with the real ones. Empty for real payloads.
std::string PlaceholderNotice(const PayloadBuild& build);

/// The --version text: the program's version, whether the payloads are placeholders or
/// real, and the manifest's checksum; each line ends with a line break.
std::string VersionText(const PayloadBuild& build);

// The shape both WDM port INF files share (Windows 2000/XP and Windows 9x): their
// sections in order, with the rows each system has of its own.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "settings/PackageSettings.h"

using InfRows = std::span<const std::string_view>;

/// What one port INF has of its own; everything else is written once, by BuildPortInf.
struct PortInfParts {
  std::string_view fileSuffix;  // after the INF prefix in the file's name: "w2k.inf"
  std::string_view systemName;  // the system in the Function comment: "Win2000"
  InfRows versionRows;          // signature, Class and ClassGuid of [Version]
  InfRows afterVersion;         // blank rows after [Version]
  InfRows sourcesAndTargets;    // source disks, files and destination folders
  std::string_view systemTag;   // ends the hardware ID: "NT" for ...&MI_00&OS_NT
  InfRows install;              // the install section
  InfRows moreCommonRegistry;   // rows of [VORN.AddReg] after NTMPDriver
  InfRows systemRegistry;       // the system's own registry sections
  InfRows copyLists;            // the copy lists after [CopyFiles], services if any
  InfRows stringsOpening;       // rows between [Strings] and Provider
  InfRows deviceStrings;        // strings after VORN.Comm.Desc
  InfRows beforeConstants;      // blank rows between the strings and the closing comment
};

/// The whole text of a port INF for these settings.
std::string BuildPortInf(const PackageSettings& settings, const PortInfParts& parts);

// The Windows 9x WDM port INF: the serial function through WDM drivers.
#include "generator/WdmInf.h"

#include <string_view>

#include "generator/CrlfText.h"
#include "generator/PackageText.h"
#include "generator/PortInf.h"

namespace {

// clang-format off
// One row per line of the file; $(...) names a setting. Spacing, tabs and the
// odd spellings are what Windows setup has always been given; keep them.
constexpr std::string_view kVersion[] = {
    R"(signature="$CHICAGO$")",
    "Class=USB",
    "ClassGuid={36FC9E60-c465-11cf-8056-444553540000}",
};
constexpr std::string_view kOneBlank[] = {
    kEmpty,
};
constexpr std::string_view kSourcesAndTargets[] = {
    kDash,
    R"(;   Change A:\ to source drive (or omit to always (?) be prompted))",
    kDash,
    "[SourceDisksNames]",
    "; diskid = description[, [tagfile] [, <unused>, subdir]]",
    ";\thaving the tagfile non-null seems to help...",
    R"(1=%DiskString%,"vornser.sys",,)",
    kEmpty,
    "[SourceDisksFiles]",
    "; filename = diskid[,[ subdir][, size]]",
    "vornser.sys = 1",
    "vorncr.sys = 1",
    "vornvcr.vxd = 1",
    "vorncm95.sys = 1",
    "vorncmnt.sys = 1",
    "vorncomm.vxd = 1",
    "vornvcd.vxd = 1",
    kEmpty,
    kDash,
    "; Specify target paths...",
    kDash,
    "[DestinationDirs]",
    "DefaultDestDir          = 11                    ; LDID_SYS",
    "CopyFiles               = 11                    ; system",
    "CopyFiles.W95\t\t= 11\t\t\t; system (for VXDs)",
    "CopyFiles.sys           = 11                    ; where .sys files go.",
    "CopyFiles.W95.sys       = 11                    ; where .sys files go.",
    R"(CopyFiles.W95.inf       = 17,other              ; INF Directory\other.)",
    kEmpty,
};
constexpr std::string_view kInstall[] = {
    "[VORN.Install]",
    "AddReg\t\t= VORN.AddReg,VORN.W95.AddReg,VORN.W95.AddReg.CRGuid",
    "CopyFiles\t= CopyFiles, CopyFiles.W95, CopyFiles.sys, CopyFiles.W95.sys, CopyFiles.W95.Inf",
    "DriverVer=03/11/2004, 4.20.0.2700",
    kEmpty,
};
constexpr std::string_view kUpperDescription[] = {
    "HKR,,CRUpperDescription,,%UpperDescription%",
};
constexpr std::string_view kSystemRegistry[] = {
    "; only for Win95....",
    "[VORN.W95.AddReg]",
    "HKR,,DevLoader,,*ntkern",
    kEmpty,
    "[VORN.W95.Addreg.CRGuid]",
    "HKR,,CRGuid,,{7A3C91E2-5D04-4B8F-9E61-2C0D4F8A1B53}",
    kEmpty,
};
constexpr std::string_view kCopyLists[] = {
    "[CopyFiles.W95]",
    "vornvcr.vxd",
    "vorncomm.vxd",
    "vornvcd.vxd",
    kEmpty,
    "[CopyFiles.sys]",
    "vornser.sys",
    "vorncr.sys",
    kEmpty,
    "[CopyFiles.W95.sys]",
    "vorncm.sys,vorncm95.sys",
    "vorncm95.sys",
    "vorncmnt.sys",
    kEmpty,
    "[Copyfiles.W95.inf]",
    "$(InfPrefix)vxd.inf",
    kEmpty,
    kEmpty,
};
constexpr std::string_view kStringsOpening[] = {
    ";BEGIN ENG - US English Strings",
};
constexpr std::string_view kUpperDescriptionString[] = {
    "UpperDescription = \"$(ComDeviceName)\"",
    kEmpty,
};
// clang-format on

constexpr PortInfParts kWdmInf = {
    .fileSuffix = "wdm.inf",
    .systemName = "Win9x",
    .versionRows = kVersion,
    .afterVersion = kOneBlank,
    .sourcesAndTargets = kSourcesAndTargets,
    .systemTag = "9X",
    .install = kInstall,
    .moreCommonRegistry = kUpperDescription,
    .systemRegistry = kSystemRegistry,
    .copyLists = kCopyLists,
    .stringsOpening = kStringsOpening,
    .deviceStrings = kUpperDescriptionString,
    .beforeConstants = kOneBlank,
};

}  // namespace

std::string BuildWdmInf(const PackageSettings& settings) {
  return BuildPortInf(settings, kWdmInf);
}

bool WriteWdmInf(const PackageSettings& settings, IMessageBox& box) {
  const std::string text = BuildWdmInf(settings);
  return WritePackageText(settings, settings.WdmInfName(), text, box, MessageIcon::Stop);
}

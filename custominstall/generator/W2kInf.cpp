// The Windows 2000/XP port INF: the serial driver as a kernel service.
#include "generator/W2kInf.h"

#include <string_view>

#include "generator/CrlfText.h"
#include "generator/PackageText.h"
#include "generator/PortInf.h"

namespace {

// clang-format off
// One row per line of the file; $(...) names a setting. Spacing, tabs and the
// odd spellings are what Windows setup has always been given; keep them.
constexpr std::string_view kVersion[] = {
    R"(signature="$WINDOWS NT$")",
    "Class=Ports",
    "ClassGuid={4D36E978-E325-11CE-BFC1-08002BE10318}",
};
constexpr std::string_view kSourcesAndTargets[] = {
    "[SourceDisksNames]",
    "; diskid = description[, [tagfile] [, <unused>, subdir]]",
    R"(1=%DiskString%,"vornser.sys",,)",
    kEmpty,
    "[SourceDisksFiles]",
    "; filename = diskid[,[ subdir][, size]]",
    "vornser.sys = 1",
    "vorncmnt.sys = 1",
    kEmpty,
    kDash,
    "; Specify target paths...",
    kDash,
    kEmpty,
    "[DestinationDirs]",
    R"(DefaultDestDir = 12                    ; system32\drivers)",
    R"(CopyFiles = 12                         ; system32\drivers)",
    "CopyFiles.Win2K = 12                   ;",
    kEmpty,
};
constexpr std::string_view kInstall[] = {
    "[VORN.Install.nt]",
    "AddReg\t\t= VORN.AddReg,VORN.NT.AddReg",
    "CopyFiles\t= CopyFiles, CopyFiles.Win2K",
    kEmpty,
};
constexpr std::string_view kSystemRegistry[] = {
    "; only for NT...",
    "[VORN.NT.AddReg]",
    "HKR,,PortSubClass,1,01",
    R"(HKR,,EnumPropPages32,,"MsPorts.dll,SerialPortPropPageProvider")",
    kEmpty,
};
constexpr std::string_view kCopyListsAndService[] = {
    "[CopyFiles.Win2K]",
    "vornser.sys",
    "vorncm.sys,vorncmnt.sys",
    "vorncmnt.sys",
    kEmpty,
    kEmpty,
    kDash,
    ";  NT Services installation",
    kDash,
    kEmpty,
    "[VORN.Install.NT.Services]",
    "AddService = vornser, 0x00000002, VORN.Install.AddService",
    kEmpty,
    kEmpty,
    "[VORN.Install.AddService]",
    "DisplayName\t= %VORN.Service.Name%",
    "Description\t= %VORN.Service.Desc%",
    "ServiceType\t= 1\t\t\t;%SERVICE_KERNEL_DRIVER%",
    "StartType\t= 3\t\t\t;%SERVICE_DEMAND_START%",
    "ErrorControl\t= 1\t\t\t;%SERVICE_ERROR_NORMAL%\t",
    "ServiceBinary\t= %12%\\vornser.sys",
    kEmpty,
    kEmpty,
    kEmpty,
};
constexpr std::string_view kStringsOpening[] = {
    ";<<localize the following>>",
    kEmpty,
    ";BEGIN ENG - US English Strings",
    kEmpty,
};
constexpr std::string_view kServiceStrings[] = {
    R"(VORN.Service.Name = "$(ComDeviceName) Drivers")",
    R"(VORN.Service.Desc = "$(ComDeviceName) Drivers")",
    kEmpty,
    kEmpty,
};
// clang-format on

constexpr PortInfParts kW2kInf = {
    .fileSuffix = "w2k.inf",
    .systemName = "Win2000",
    .versionRows = kVersion,
    .afterVersion = {},
    .sourcesAndTargets = kSourcesAndTargets,
    .systemTag = "NT",
    .install = kInstall,
    .moreCommonRegistry = {},
    .systemRegistry = kSystemRegistry,
    .copyLists = kCopyListsAndService,
    .stringsOpening = kStringsOpening,
    .deviceStrings = kServiceStrings,
    .beforeConstants = {},
};

}  // namespace

std::string BuildW2kInf(const PackageSettings& settings) {
  return BuildPortInf(settings, kW2kInf);
}

bool WriteW2kInf(const PackageSettings& settings, IMessageBox& box) {
  const std::string text = BuildW2kInf(settings);
  return WritePackageText(settings, settings.W2kInfName(), text, box, MessageIcon::Stop);
}

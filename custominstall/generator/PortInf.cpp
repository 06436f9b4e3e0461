// The rows both port INF files share, and the order in which a file's own rows go between them.
#include "generator/PortInf.h"

#include "generator/CrlfText.h"
#include "generator/TemplateValues.h"
#include "generator/VendorNotice.h"

namespace {

// clang-format off
// One row per line of the file; $(...) names a setting. Spacing, tabs and the
// odd spellings are what Windows setup has always been given; keep them.
constexpr std::string_view kFunctionRows[] = {
    ";",
    "; Function:",
};
constexpr std::string_view kVersionOpening[] = {
    ";",
    kStar,
    kEmpty,
    "[Version]",
};
constexpr std::string_view kVersionClosing[] = {
    "Provider=%Provider%",
    "DriverVer=03/11/2004, 4.20.0.2700",
    ";CatalogFile=$(InfPrefix)ser.cat",
    kEmpty,
};
constexpr std::string_view kControlFlags[] = {
    "[ControlFlags]",
    "ExcludeFromSelect = *",
    kEmpty,
};
constexpr std::string_view kManufacturer[] = {
    kDash,
    "; Table of Contents",
    kDash,
    "[Manufacturer]",
    "%VORN%=VORN",
    kEmpty,
    kDash,
    "; Device-by-device entries",
    kDash,
    "[VORN]",
};
constexpr std::string_view kDeviceRow =
    R"(%VORN.Comm.Desc% = VORN.Install, USB\VID_$(Vid)&PID_$(Pid)&MI_00&OS_)";
constexpr std::string_view kInstallHeading[] = {
    kEmpty,
    kDash,
    "; Installation instructions",
    kDash,
    kEmpty,
};
constexpr std::string_view kCommonRegistry[] = {
    kDash,
    ";  Registry",
    kDash,
    kEmpty,
    "; common registry entries ",
    "[VORN.AddReg]",
    "HKR,,NTMPDriver,,vornser.sys",
};
constexpr std::string_view kPortSettings[] = {
    "HKR,,RateLimitPurgeMS, 0x10001, 0x64, 0x00, 0x00, 0x00",
    "HKR,,OverrideDefaultPortSettings, 0x10001, 01,00,00,00",
    "HKR,,InitialBaudRate, 0x10001, 00,C2,01,00                      ;115200 initial baud rate",
    R"(HKR,,InitialLineControl,, "8N1"                                 ;8-bits, No parity, 1 stop bit)",
    kEmpty,
};
constexpr std::string_view kCopyListsOpening[] = {
    kDash,
    ";  Copy lists",
    kDash,
    "[CopyFiles]",
    kEmpty,
};
constexpr std::string_view kStringsOpening[] = {
    kDash,
    "; STRINGS",
    kDash,
    "[Strings]",
    kEmpty,
};
constexpr std::string_view kNameStrings[] = {
    "Provider = \"$(LongName)\"",
    "VORN = \"$(LongName)\"",
    R"(DiskString = "$(ComDeviceName) Drivers")",
    kEmpty,
    "VORN.Comm.Desc = \"$(ComDeviceName)\"",
};
constexpr std::string_view kPackageStrings[] = {
    "CustomerDataPath = \"$(ComDeviceName)\"",
    R"(DriverSet = "$(ComDeviceName) Driver Set")",
    R"(UninstallFile = "VORNUninstall.exe")",
    R"(TbrxOptions = "Uninstallable")",
    kEmpty,
    kEmpty,
    ";END ENG - US English Strings",
    kEmpty,
};
constexpr std::string_view kClosing[] = {
    kDash,
    "; The following are symbolic constants which don't change per locale.",
    kDash,
    kEmpty,
    kEmpty,
    ";*** end of file ***",
};
// clang-format on

}  // namespace

std::string BuildPortInf(const PackageSettings& settings, const PortInfParts& parts) {
  const TemplateValues values(settings);
  CrlfText text(values.All());
  text.Row(kStar)
      .Row(";")
      .Row("; Name:  $(InfPrefix)" + std::string(parts.fileSuffix))
      .Rows(kFunctionRows)
      .Row(";\tInstall the $(ComDeviceName) (WDM) on " + std::string(parts.systemName))
      .Row(";")
      .Rows(kVendorNotice)
      .Rows(kVersionOpening)
      .Rows(parts.versionRows)
      .Rows(kVersionClosing)
      .Rows(parts.afterVersion)
      .Rows(kControlFlags)
      .Rows(parts.sourcesAndTargets)
      .Rows(kManufacturer)
      .Row(std::string(kDeviceRow) + std::string(parts.systemTag))
      .Rows(kInstallHeading)
      .Rows(parts.install)
      .Rows(kCommonRegistry)
      .Rows(parts.moreCommonRegistry)
      .Rows(kPortSettings)
      .Rows(parts.systemRegistry)
      .Rows(kCopyListsOpening)
      .Rows(parts.copyLists)
      .Rows(kStringsOpening)
      .Rows(parts.stringsOpening)
      .Rows(kNameStrings)
      .Rows(parts.deviceStrings)
      .Rows(kPackageStrings)
      .Rows(parts.beforeConstants)
      .Rows(kClosing);
  return text.Text();
}

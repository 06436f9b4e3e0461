// The three line files that the package's uninstallers and preinstaller read.
#include "generator/SetupInfo.h"

#include <string_view>

#include "generator/CrlfText.h"
#include "generator/PackageText.h"
#include "generator/TemplateValues.h"

namespace {

// clang-format off
// A line's meaning is its position; the readers count lines, so never add or drop one.
constexpr std::string_view kUninstallInfo98Rows[] = {
    "$(ComDeviceName)",
    "$(UsbDeviceName)",
    "$(LongName)",
    "$(InfPrefix)bus.inf",
    "$(InfPrefix)wdm.inf",
    "$(InfPrefix)vxd.inf",
    "$(UninstallQuiet)",
    "NoLeaveSource",
    "$(UninstallKeyName)",
    "$(TargetDirectory)",
};

// Line 2 follows the setup option, not the uninstall one: that is the format.
constexpr std::string_view kUninstallInfo2kRows[] = {
    "*VID_$(Vid)&PID_$(Pid)*",
    "$(SetupQuiet)",
    "NoLeaveSource",
    "$(UninstallKeyName)",
    "$(TargetDirectory)",
};

// Line 3 follows the uninstall option; "Copy Files" is written whatever the setting.
// The driver list leaves out vornwh95.sys, and the file ends in an empty line.
constexpr std::string_view kSetupIniRows[] = {
    "$(ComDeviceName) Driver Set",
    "$(TargetDirectory)",
    "$(UninstallQuiet)",
    "Copy Files",
    "$(InfPrefix)bus.inf",
    "$(InfPrefix)w2k.inf",
    "$(InfPrefix)wdm.inf",
    "$(InfPrefix)vxd.inf",
    "$(UninstallFileName).exe",
    "$(UninstallFileName)2k.exe",
    "$(UninstallFileName).u98",
    "$(UninstallFileName).u2k",
    "$(InfPrefix)bus.cat",
    "$(InfPrefix)ser.cat",
    "vornbus.sys",
    "vorncm95.sys",
    "vorncmnt.sys",
    "vorncr.sys",
    "vornser.sys",
    "vornwhnt.sys",
    "vorncomm.vxd",
    "vornvcd.vxd",
    "vornvcr.vxd",
    kEmpty,
};
// clang-format on

std::string Build(const PackageSettings& settings, std::span<const std::string_view> rows) {
  const TemplateValues values(settings);
  CrlfText text(values.All());
  text.Rows(rows);
  return text.Text();
}

}  // namespace

std::string BuildUninstallInfo98(const PackageSettings& settings) {
  return Build(settings, kUninstallInfo98Rows);
}

std::string BuildUninstallInfo2k(const PackageSettings& settings) {
  return Build(settings, kUninstallInfo2kRows);
}

std::string BuildSetupIni(const PackageSettings& settings) {
  return Build(settings, kSetupIniRows);
}

bool WriteSetupInfo(const PackageSettings& settings, IMessageBox& box) {
  struct InfoFile {
    std::string name;
    std::string text;
  };
  const InfoFile files[] = {
      {settings.UninstallInfo98Name(), BuildUninstallInfo98(settings)},
      {settings.UninstallInfo2kName(), BuildUninstallInfo2k(settings)},
      {"setup.ini", BuildSetupIni(settings)},
  };
  for (const InfoFile& file : files) {
    if (!WritePackageText(settings, file.name, file.text, box, MessageIcon::Stop)) {
      return false;
    }
  }
  return true;
}

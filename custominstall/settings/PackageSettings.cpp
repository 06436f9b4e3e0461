// Derived names and the summary text of a package's settings.
#include "settings/PackageSettings.h"

#include <array>

#include "settings/Validation.h"

std::string PackageSettings::GetUpperInfPrefix() const {
  return ToUpperAscii(InfPrefix);
}

std::string PackageSettings::UninstallKeyName() const {
  return GetUpperInfPrefix() + "COMM&" + Vid + "&" + Pid;
}

namespace {
const char* YesNo(bool value) {
  return value ? "Yes" : "No";
}
}  // namespace

std::string PackageSettings::GetSummaryText() const {
  // Each line stands beside its label on the summary page; the option lines
  // show "-" when there is no preinstaller, the uninstaller lines included.
  const bool pre = GeneratePreinstaller;
  const std::array<std::string, 20> lines = {
      UninstallFileName + ".u98, " + UninstallFileName + ".u2k",
      InfPrefix + "xxxx.inf",
      "",
      ShortName,
      LongName,
      "",
      ComDeviceName,
      UsbDeviceName,
      "",
      Vid,
      Pid,
      "",
      YesNo(GeneratePreinstaller),
      pre ? YesNo(ShowSetupGui) : "-",
      pre ? YesNo(CopyFilesToDirectory) : "-",
      pre ? TargetDirectory : "-",
      pre ? YesNo(ShowUninstallGui) : "-",
      pre ? "No" : "-",
      "",
      OutputDirectory,
  };
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i != 0) {
      text += "\r\n";
    }
    text += lines[i];
  }
  return text;
}

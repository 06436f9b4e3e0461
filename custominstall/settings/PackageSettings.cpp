// Derived names and the summary text of a package's settings.
#include "settings/PackageSettings.h"

#include <array>

#include "settings/Validation.h"

std::string PackageSettings::GetUpperInfPrefix() const {
  return ToUpperAscii(infPrefix);
}

std::string PackageSettings::UninstallKeyName() const {
  return GetUpperInfPrefix() + "COMM&" + vid + "&" + pid;
}

namespace {
const char* YesNo(bool value) {
  return value ? "Yes" : "No";
}
}  // namespace

std::string PackageSettings::GetSummaryText() const {
  // Each line stands beside its label on the summary page; the option lines
  // show "-" when there is no preinstaller, the uninstaller lines included.
  const bool pre = generatePreinstaller;
  const std::array<std::string, 20> lines = {
      uninstallFileName + ".u98, " + uninstallFileName + ".u2k",
      infPrefix + "xxxx.inf",
      "",
      shortName,
      longName,
      "",
      comDeviceName,
      usbDeviceName,
      "",
      vid,
      pid,
      "",
      YesNo(generatePreinstaller),
      pre ? YesNo(showSetupGui) : "-",
      pre ? YesNo(copyFilesToDirectory) : "-",
      pre ? targetDirectory : "-",
      pre ? YesNo(showUninstallGui) : "-",
      pre ? "No" : "-",
      "",
      outputDirectory,
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

// The settings as named values for the file templates.
#include "generator/TemplateValues.h"

namespace {
// The information files spell a shown window as "NoQuiet" and a hidden one as "Quiet".
std::string_view QuietWord(bool showGui) {
  return showGui ? "NoQuiet" : "Quiet";
}
}  // namespace

TemplateValues::TemplateValues(const PackageSettings& settings)
    : m_strUninstallKeyName(settings.UninstallKeyName()),
      m_Items{{
          {"UninstallFileName", settings.UninstallFileName},
          {"InfPrefix", settings.InfPrefix},
          {"LongName", settings.LongName},
          {"ComDeviceName", settings.ComDeviceName},
          {"UsbDeviceName", settings.UsbDeviceName},
          {"Vid", settings.Vid},
          {"Pid", settings.Pid},
          {"TargetDirectory", settings.TargetDirectory},
          {"UninstallKeyName", m_strUninstallKeyName},
          {"SetupQuiet", QuietWord(settings.ShowSetupGui)},
          {"UninstallQuiet", QuietWord(settings.ShowUninstallGui)},
      }} {}

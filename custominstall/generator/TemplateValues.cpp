// The settings as named values for the file templates.
#include "generator/TemplateValues.h"

namespace {
// The information files spell a shown window as "NoQuiet" and a hidden one as "Quiet".
std::string_view QuietWord(bool showGui) {
  return showGui ? "NoQuiet" : "Quiet";
}
}  // namespace

std::string DoublePercentSigns(std::string_view text) {
  std::string doubled;
  doubled.reserve(text.size());
  for (const char c : text) {
    doubled += c;
    if (c == '%') {
      doubled += '%';
    }
  }
  return doubled;
}

TemplateValues::TemplateValues(const PackageSettings& settings)
    : m_uninstallKeyName(settings.UninstallKeyName()),
      // setupapi turns %% into % and %n% into a folder in a field it reads directly, but
      // inserts a [Strings] value through %key% as it stands: only the direct field doubles.
      m_displayName(DoublePercentSigns(settings.comDeviceName)),
      m_items{{
          {"UninstallFileName", settings.uninstallFileName},
          {"InfPrefix", settings.infPrefix},
          {"LongName", settings.longName},
          {"ComDeviceName", settings.comDeviceName},
          {"UsbDeviceName", settings.usbDeviceName},
          {"Vid", settings.vid},
          {"Pid", settings.pid},
          {"TargetDirectory", settings.targetDirectory},
          {"UninstallKeyName", m_uninstallKeyName},
          {"DisplayName", m_displayName},
          {"SetupQuiet", QuietWord(settings.showSetupGui)},
          {"UninstallQuiet", QuietWord(settings.showUninstallGui)},
      }} {}

// The settings as named values for the file templates.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "generator/CrlfText.h"
#include "settings/PackageSettings.h"

/// The placeholder values of one package. Holds views into the settings, so it must
/// not outlive them; it cannot be copied because its views point into itself.
class TemplateValues {
 public:
  explicit TemplateValues(const PackageSettings& settings);
  TemplateValues(const TemplateValues&) = delete;
  TemplateValues& operator=(const TemplateValues&) = delete;

  std::span<const Placeholder> All() const { return m_Items; }

 private:
  std::string m_strUninstallKeyName;
  std::array<Placeholder, 11> m_Items;
};

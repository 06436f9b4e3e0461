// The settings as named values for the file templates.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "generator/CrlfText.h"
#include "settings/PackageSettings.h"

/// text with every % written as %%, as an INF field read directly must hold a literal %.
std::string DoublePercentSigns(std::string_view text);

/// The placeholder values of one package; "DisplayName" is the COM device name as a
/// field that setupapi reads directly must hold it (each % doubled). Holds views into the settings,
/// so it must not outlive them; it cannot be copied because its views point into itself.
class TemplateValues {
 public:
  explicit TemplateValues(const PackageSettings& settings);
  TemplateValues(const TemplateValues&) = delete;
  TemplateValues& operator=(const TemplateValues&) = delete;

  std::span<const Placeholder> All() const { return m_items; }

 private:
  std::string m_uninstallKeyName;
  std::string m_displayName;
  std::array<Placeholder, 12> m_items;
};

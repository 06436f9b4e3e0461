// The output folder on this host: default, trailing separator and lookup.
#include "settings/OutputFolder.h"

#include <filesystem>
#include <system_error>

namespace {

constexpr std::string_view kDefaultOutputTail = "Vornix/MCU/VB7350/VB7350SetupFiles/";

bool EndsWithSeparator(std::string_view text) {
  return !text.empty() && text.back() == kHostSeparator;
}

}  // namespace

std::string DefaultOutputDirectory(std::string_view homeDir) {
  return WithTrailingSeparator(homeDir) + std::string(kDefaultOutputTail);
}

std::string WithTrailingSeparator(std::string_view text) {
  std::string result(text);
  if (!EndsWithSeparator(result)) {
    result += kHostSeparator;
  }
  return result;
}

bool OutputPathExists(std::string_view path) {
  std::string lookup(path);
  // Stripping the separator from "/" would leave a text that names nothing, yet the
  // root always exists.
  if (lookup.size() > 1 && EndsWithSeparator(lookup)) {
    lookup.pop_back();
  }
  if (lookup.empty()) {
    return false;
  }
  std::error_code error;
  return std::filesystem::exists(lookup, error);
}

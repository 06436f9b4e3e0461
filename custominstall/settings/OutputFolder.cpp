// The output folder on this host: default, trailing separator and lookup.
#include "settings/OutputFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
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

std::string WithoutTrailingSeparator(std::string_view text) {
  std::string lookup(text);
  // Stripping the separator from "/" would leave a text that names nothing, yet the
  // root always exists.
  if (lookup.size() > 1 && EndsWithSeparator(lookup)) {
    lookup.pop_back();
  }
  return lookup;
}

bool IsExistingNonFolder(std::string_view path) {
  const std::string lookup = WithoutTrailingSeparator(path);
  if (lookup.empty()) {
    return false;
  }
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(lookup, error);
  return std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

std::string OutputIsNotAFolderText(std::string_view path) {
  return std::string(path) + " is a file, not a folder.";
}

bool OutputPathExists(std::string_view path) {
  const std::string lookup = WithoutTrailingSeparator(path);
  if (lookup.empty()) {
    return false;
  }
  std::error_code error;
  return std::filesystem::exists(lookup, error);
}

std::string ResolveOutputDirectory(std::string_view typed, std::string_view homeDir) {
  if (typed.empty()) {
    return {};
  }
  std::filesystem::path path;
  if (typed == "~" || typed.starts_with("~/")) {
    path = std::filesystem::path(homeDir) / std::string(typed.substr(typed.size() > 1 ? 2 : 1));
  } else {
    path = std::string(typed);
  }
  if (path.is_relative()) {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (!error) {
      path = current / path;
    }
  }
  return path.lexically_normal().string();
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return home;
  }
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

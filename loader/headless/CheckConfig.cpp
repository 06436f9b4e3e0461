// The configuration check of the command line.
#include "headless/CheckConfig.h"

#include "config/ConfigReview.h"
#include "config/ConsoleText.h"
#include "config/LoaderConfig.h"

#include <filesystem>
#include <ostream>
#include <vector>

namespace {
constexpr const char* kNoProblem = "ok";
}  // namespace

std::string ConfigFileFor(const LoaderOptions& options, const std::string& curDir) {
  std::filesystem::path file = options.configPath.empty()
                                   ? std::filesystem::path(std::string(kConfigFileName))
                                   : std::filesystem::path(options.configPath);
  if (file.is_relative()) file = std::filesystem::path(curDir) / file;
  return file.lexically_normal().string();
}

int RunCheckConfig(const LoaderOptions& options, std::ostream& out) {
  std::error_code ec;
  const std::string curDir = std::filesystem::current_path(ec).string();
  const std::string path = ConfigFileFor(options, curDir);
  const std::string shown = EscapeConsoleText(path);
  LoaderConfig cfg;
  std::vector<std::string> warnings;
  std::string error;
  std::size_t problems = 0;
  if (!LoadLoaderConfig(path, curDir, cfg, warnings, error)) {
    out << "warning: configuration file " << shown << " cannot be read: " << error << '\n';
    problems = 1;
  } else {
    for (std::string& warning : ReviewImageFolders(cfg)) warnings.push_back(std::move(warning));
    for (const std::string& warning : warnings) {
      out << "warning: " << shown << ": " << warning << '\n';
    }
    problems = warnings.size();
  }
  if (problems == 0) {
    out << kNoProblem << '\n' << std::flush;
    return 0;
  }
  out << problems << (problems == 1 ? " problem" : " problems") << '\n' << std::flush;
  return 1;
}

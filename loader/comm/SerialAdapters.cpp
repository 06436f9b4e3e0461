// Listing of the serial adapters for the port-settings dialog.
#include "comm/SerialAdapters.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

/// Paths of the folder's entries whose names start with one of the prefixes
/// (every entry for an empty list), sorted; a missing folder gives none.
std::vector<std::string> ListFolder(const std::string& folder,
                                    const std::vector<std::string>& prefixes) {
  std::vector<std::string> found;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const bool wanted = prefixes.empty() ||
                        std::any_of(prefixes.begin(), prefixes.end(),
                                    [&](const auto& prefix) { return name.starts_with(prefix); });
    if (wanted) found.push_back(it->path().string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::vector<std::string> FindSerialAdapters(const AdapterFolders& folders) {
  std::vector<std::string> byId = ListFolder(folders.byId, {});
  if (!byId.empty()) return byId;
  return ListFolder(folders.dev, {"ttyUSB", "ttyACM"});
}

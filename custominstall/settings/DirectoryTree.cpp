// Creating the output folder and its missing parents.
#include "settings/DirectoryTree.h"

#include <sys/stat.h>
#include <cerrno>
#include <string>

namespace {
constexpr std::size_t kFirstSplittable = 1;  // index 0 is the root "/"
}  // namespace

bool CreateDirectoryTree(std::string_view path) {
  const std::string whole(path);
  if (::mkdir(whole.c_str(), 0777) == 0) {
    return true;
  }
  // Only a missing parent is worth climbing for; any other failure (the folder exists,
  // no rights, a file in the way) cannot be cured by creating parents, and retrying
  // every ancestor on such failures would take time exponential in the depth.
  if (errno != ENOENT || path.size() < 2) {
    return false;
  }
  const std::size_t slash = path.find_last_of('/', path.size() - 2);
  if (slash == std::string_view::npos || slash < kFirstSplittable) {
    return false;
  }
  if (!CreateDirectoryTree(path.substr(0, slash))) {
    return false;
  }
  return ::mkdir(whole.c_str(), 0777) == 0;
}

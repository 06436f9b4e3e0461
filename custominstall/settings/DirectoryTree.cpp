// Creating the output folder and its missing parents.
#include "settings/DirectoryTree.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace {

constexpr std::size_t kFirstSplittable = 1;  // index 0 is the root "/"

bool MakeOne(const std::string& path, SystemError* error) {
  if (::mkdir(path.c_str(), 0777) == 0) {
    return true;
  }
  const int code = errno;
  if (error != nullptr) {
    *error = {path, code};
  }
  errno = code;
  return false;
}

}  // namespace

bool CreateDirectoryTree(std::string_view path, SystemError* error) {
  const std::string whole(path);
  if (whole.empty()) {
    if (error != nullptr) {
      *error = {whole, ENOENT};
    }
    return false;
  }
  if (MakeOne(whole, error)) {
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
  if (!CreateDirectoryTree(path.substr(0, slash), error)) {
    return false;
  }
  return MakeOne(whole, error);
}

// One generation run at a time per package folder.
#pragma once

#include <string>

#include "generator/FileDescriptor.h"

/// Holds an exclusive flock on the folder itself while it lives, waiting for another
/// run that holds it; no file is added to the folder. A folder that cannot be opened is
/// not locked (the run's writers then report why they cannot write there).
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);

 private:
  FileDescriptor m_folder;
};

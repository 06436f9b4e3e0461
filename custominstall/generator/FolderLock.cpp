// One generation run at a time per package folder.
#include "generator/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

FolderLock::FolderLock(const std::string& folder)
    : m_folder(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (!m_folder.Valid()) {
    return;
  }
  // Closing the descriptor (when the run ends) releases the lock.
  while (::flock(m_folder.Get(), LOCK_EX) != 0 && errno == EINTR) {
  }
}

// Serial port failure reasons from the device node itself, and reconnect delays.
#include "runtime/PortDiagnosis.h"

#include "base/UniqueFd.h"
#include "config/LoaderDefaults.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr const char* kNoDevice = "no such device";
constexpr const char* kPermission =
    "permission denied (add the user to the 'dialout' group: sudo usermod -aG dialout USER, "
    "then log in again)";
constexpr const char* kInUse = "in use by another program";
constexpr const char* kHungUp = "hung up";
constexpr const char* kNotTerminal = "not a terminal";

std::string ReasonOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return kNoDevice;
    case EACCES:
    case EPERM:
      return kPermission;
    case EBUSY:
      return kInUse;  // another opener holds it exclusively (TIOCEXCL)
    case EIO:
      return kHungUp;
    default:
      return std::strerror(error);
  }
}

}  // namespace

std::string DescribePortFailure(const std::string& device, bool wasOpen) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0) return ReasonOfErrno(errno);
  if (!S_ISCHR(info.st_mode)) return kNotTerminal;  // a file, FIFO, folder or socket
  // Open it the way the port does (never as a controlling terminal) and let go at once.
  UniqueFd fd(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.Valid()) return ReasonOfErrno(errno);
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) {
    return errno == EWOULDBLOCK ? kInUse : ReasonOfErrno(errno);
  }
  if (::isatty(fd.Get()) == 0) return kNotTerminal;  // /dev/null and other devices
  if (wasOpen) return kHungUp;
  return "could not be opened (it may have been busy a moment ago)";
}

int ReconnectBackoff::NextDelayMs() {
  m_nextMs = m_nextMs == 0 ? kReconnectFirstMs : std::min(m_nextMs * 2, kReconnectMaxMs);
  return m_nextMs;
}

void ReconnectBackoff::Reset() noexcept {
  m_nextMs = 0;
}

// openat2(RESOLVE_BENEATH), and a component-by-component fallback for kernels without it.
#include "download/OpenBeneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <deque>
#include <string>
#include <vector>

namespace {
constexpr int kMaxSymlinks = 40;  // as the kernel's own limit
constexpr int kMaxSwapRetries = 40;

void AppendComponents(std::deque<std::string>& out, std::string_view path, bool front) {
  std::vector<std::string> parts;
  std::size_t pos = 0;
  while (pos <= path.size()) {
    const std::size_t slash = path.find('/', pos);
    const std::size_t end = slash == std::string_view::npos ? path.size() : slash;
    if (end > pos) parts.emplace_back(path.substr(pos, end - pos));
    if (slash == std::string_view::npos) break;
    pos = slash + 1;
  }
  if (front) {
    out.insert(out.begin(), parts.begin(), parts.end());
  } else {
    out.insert(out.end(), parts.begin(), parts.end());
  }
}

UniqueFd Refuse(int err) {
  errno = err;
  return {};
}
}  // namespace

UniqueFd OpenBeneath(int dirFd, std::string_view path, int flags) {
  open_how how{};
  how.flags = static_cast<decltype(how.flags)>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  const std::string p(path);
  const long fd = ::syscall(SYS_openat2, dirFd, p.c_str(), &how, sizeof how);
  if (fd >= 0) return UniqueFd(static_cast<int>(fd));
  // No openat2 here (old kernel, or a sandbox that filters it): resolve ourselves.
  if (errno == ENOSYS || errno == EPERM) return OpenBeneathByComponents(dirFd, path, flags);
  return {};
}

UniqueFd OpenBeneathByComponents(int dirFd, std::string_view path, int flags) {
  if (path.empty()) return Refuse(ENOENT);
  if (path.front() == '/') return Refuse(EXDEV);
  std::deque<std::string> pending;
  AppendComponents(pending, path, false);
  std::vector<UniqueFd> folders;  // folders entered below dirFd, innermost last
  int links = 0;
  int retries = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.front());
    pending.pop_front();
    if (name == ".") continue;
    if (name == "..") {
      if (folders.empty()) return Refuse(EXDEV);  // would climb out of the folder
      folders.pop_back();
      continue;
    }
    const int at = folders.empty() ? dirFd : folders.back().Get();
    std::array<char, 4096> target{};
    const ssize_t n = ::readlinkat(at, name.c_str(), target.data(), target.size());
    if (n >= 0) {
      if (++links > kMaxSymlinks || static_cast<std::size_t>(n) >= target.size())
        return Refuse(ELOOP);
      const std::string_view link(target.data(), static_cast<std::size_t>(n));
      if (link.empty()) return Refuse(ENOENT);
      if (link.front() == '/') return Refuse(EXDEV);
      AppendComponents(pending, link, true);
      continue;
    }
    if (errno != EINVAL) return {};  // missing, or not searchable
    const bool last = pending.empty();
    const int oflags =
        last ? flags | O_NOFOLLOW | O_CLOEXEC : O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    UniqueFd fd(::openat(at, name.c_str(), oflags));
    if (!fd) {
      // Swapped for a symlink since we looked: look again.
      if ((errno == ELOOP || errno == ENOTDIR) && ++retries <= kMaxSwapRetries) {
        pending.push_front(name);
        continue;
      }
      return {};
    }
    if (last) return fd;
    folders.push_back(std::move(fd));
  }
  // The path named the folder itself or one of its folders: no file to open.
  return Refuse(EISDIR);
}

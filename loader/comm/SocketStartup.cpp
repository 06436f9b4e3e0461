// Network layer start-up check.
#include "comm/SocketStartup.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
bool CanMakeStreamSocket(int family) {
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}
}  // namespace

bool InitSockets() {
  return CanMakeStreamSocket(AF_INET) || CanMakeStreamSocket(AF_INET6);
}

// bll_floor_server: the least a BLL server over TCP can do per block with
// epoll, as a yardstick for Tarvix's CPU per block. One thread, one epoll loop,
// and per block one read of the acknowledgement and one send of the frame, the
// block read straight into it from a window read ahead as Tarvix reads. Not a
// part of the product.
#include "FloorDownload.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <memory>
#include <unordered_map>

namespace {
constexpr const char* kUsage =
    "Usage: bll_floor_server PORT FOLDER\n"
    "Serves the files of FOLDER to BLL downloads over TCP on 127.0.0.1:PORT with\n"
    "one epoll loop, one read and one send per block (a yardstick for the\n"
    "side-by-side benchmark; it prints nothing and runs until it is stopped).\n";
}  // namespace

int main(int argc, char** argv) {
  unsigned port = 0;
  int folder = -1;
  if (!FloorArgs(argc, argv, kUsage, port, folder)) return 1;
  const int listener = FloorListen(port, SOCK_NONBLOCK);
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (listener < 0 || epoll < 0) return 1;
  epoll_event listen{};
  listen.events = EPOLLIN;
  listen.data.ptr = nullptr;
  ::epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &listen);
  // SIGTERM ends the process; the kernel closes everything.
  std::unordered_map<FloorDownload*, std::unique_ptr<FloorDownload>> downloads;
  std::array<epoll_event, 256> events{};
  for (;;) {
    const int n = ::epoll_wait(epoll, events.data(), static_cast<int>(events.size()), -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 1;
    for (int i = 0; i < n; ++i) {
      auto* d = static_cast<FloorDownload*>(events[static_cast<std::size_t>(i)].data.ptr);
      if (d == nullptr) {
        for (int fd;
             (fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
          auto owned = std::make_unique<FloorDownload>();
          owned->fd = fd;
          epoll_event ev{};
          ev.events = EPOLLIN;
          ev.data.ptr = owned.get();
          ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &ev);
          downloads.emplace(owned.get(), std::move(owned));
        }
        continue;
      }
      const ssize_t got = ::recv(d->fd, d->in.data(), d->in.size(), 0);
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (got <= 0) {
        ::epoll_ctl(epoll, EPOLL_CTL_DEL, d->fd, nullptr);
        downloads.erase(d);
        continue;
      }
      // A lock-step peer never lets a reply this small block.
      if (FloorAnswer(folder, *d, static_cast<std::size_t>(got)))
        (void)::send(d->fd, d->out.data(), d->out.size(), MSG_NOSIGNAL);
    }
  }
}

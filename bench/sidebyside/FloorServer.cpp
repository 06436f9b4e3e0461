// bll_floor_server: the least a BLL server over TCP can do per block, as a
// yardstick for Tarvix's CPU per block. One thread, one epoll loop, and per
// block exactly one read of the acknowledgement, one pread of the block
// straight into its frame and one send of the frame; no output, no timers,
// no checks beyond what the protocol needs. Not a part of the product.
#include "download/FileSelector.h"
#include "download/Frame.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <unordered_map>

namespace {

constexpr std::string_view kUsage =
    "Usage: bll_floor_server PORT FOLDER\n"
    "Serves the files of FOLDER to BLL downloads over TCP on 127.0.0.1:PORT with\n"
    "one read, one pread and one send per block (a yardstick for the side-by-side\n"
    "benchmark; it prints nothing and runs until it is stopped).\n";

struct Download {
  int fd = -1;  // the connection
  int file = -1;
  int packetNo = 0;
  int packetCount = 0;
  int blockSize = 0;
  std::int64_t fileSize = 0;
  Frame out;
  std::array<std::uint8_t, 1024> in{};

  ~Download() {
    if (file >= 0) ::close(file);
    if (fd >= 0) ::close(fd);
  }
};

void SendAll(int fd, const Frame& frame) {
  // A lock-step peer never lets a reply this small block.
  (void)::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
}

void Start(int folder, Download& d, std::span<const std::uint8_t> frame) {
  if (!IsBllRequest(frame) || !LrcMatches(frame)) return SendAll(d.fd, BllRejectFrame());
  const auto request = BllRequestFile(frame);
  if (!request) return SendAll(d.fd, BllRejectFrame());
  if (d.file >= 0) ::close(d.file);
  d.file = ::openat(folder, request->name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (d.file < 0 || ::fstat(d.file, &info) != 0) return SendAll(d.fd, BllRejectFrame());
  d.blockSize = request->blockSize;
  d.fileSize = info.st_size;
  d.packetCount = static_cast<int>((d.fileSize + d.blockSize - 1) / d.blockSize);
  d.packetNo = 0;
  SendAll(d.fd, BllStartReply(d.packetCount, d.blockSize));
}

void Continue(Download& d, std::span<const std::uint8_t> frame) {
  const std::uint8_t command = ByteAt(frame, 1);
  if (command == kCmdBegin) {
    d.packetNo = 0;
  } else if (command == kCmdBllNext) {
    if (ByteAt(frame, kVerdictOffset) == kAck) ++d.packetNo;
  } else {
    ::close(d.file);
    d.file = -1;
    return;
  }
  if (d.packetNo >= d.packetCount) {
    SendAll(d.fd, BllEndFrame(d.packetCount));
    ::close(d.file);
    d.file = -1;
    return;
  }
  const std::int64_t offset = std::int64_t{d.packetNo} * d.blockSize;
  const auto len =
      static_cast<std::size_t>(std::min<std::int64_t>(d.fileSize - offset, d.blockSize));
  d.out.resize(len + kDataFrameOverhead);
  if (::pread(d.file, d.out.data() + kDataOffset, len, offset) != static_cast<ssize_t>(len)) {
    std::memset(d.out.data() + kDataOffset, 0, len);
  }
  SealDataFrame(FrameFamily::Bll, d.packetNo, d.out);
  SendAll(d.fd, d.out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(kUsage.data(), stdout);
    return 0;
  }
  unsigned port = 0;
  if (argc != 3 ||
      std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), port).ec != std::errc() ||
      port == 0 || port > 65535) {
    std::fputs(kUsage.data(), stderr);
    return 2;
  }
  const int folder = ::open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  const int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (folder < 0 || listener < 0 || epoll < 0 ||
      ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, SOMAXCONN) != 0) {
    std::perror("bll_floor_server");
    return 1;
  }
  epoll_event listen{};
  listen.events = EPOLLIN;
  listen.data.ptr = nullptr;
  ::epoll_ctl(epoll, EPOLL_CTL_ADD, listener, &listen);
  // SIGTERM ends the process; the kernel closes everything.
  std::unordered_map<Download*, std::unique_ptr<Download>> downloads;
  std::array<epoll_event, 256> events{};
  for (;;) {
    const int n = ::epoll_wait(epoll, events.data(), static_cast<int>(events.size()), -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return 1;
    for (int i = 0; i < n; ++i) {
      auto* d = static_cast<Download*>(events[static_cast<std::size_t>(i)].data.ptr);
      if (d == nullptr) {
        for (int fd;
             (fd = ::accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;) {
          auto owned = std::make_unique<Download>();
          owned->fd = fd;
          epoll_event ev{};
          ev.events = EPOLLIN;
          ev.data.ptr = owned.get();
          ::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &ev);
          downloads.emplace(owned.get(), std::move(owned));
        }
        continue;
      }
      const ssize_t got = ::read(d->fd, d->in.data(), d->in.size());
      if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
      if (got <= 0) {
        ::epoll_ctl(epoll, EPOLL_CTL_DEL, d->fd, nullptr);
        downloads.erase(d);
        continue;
      }
      const std::size_t len =
          FindFrameStart(std::span<std::uint8_t>(d->in.data(), static_cast<std::size_t>(got)));
      const std::span<const std::uint8_t> frame(d->in.data(), len);
      if (len == 0) continue;
      if (d->file < 0) {
        Start(folder, *d, frame);
      } else {
        Continue(*d, frame);
      }
    }
  }
}

// The floor servers' BLL download.
#include "FloorDownload.h"

#include "download/FileSelector.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

FloorDownload::~FloorDownload() {
  if (file >= 0) ::close(file);
  if (fd >= 0) ::close(fd);
}

namespace {
bool Reply(FloorDownload& d, const Frame& frame) {
  d.out = frame;
  return true;
}

bool Start(int folder, FloorDownload& d, std::span<const std::uint8_t> frame) {
  if (!IsBllRequest(frame) || !LrcMatches(frame)) return Reply(d, BllRejectFrame());
  const auto request = BllRequestFile(frame);
  if (!request) return Reply(d, BllRejectFrame());
  if (d.file >= 0) ::close(d.file);
  d.blocks.Forget();
  d.file = ::openat(folder, request->name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (d.file < 0 || ::fstat(d.file, &info) != 0) return Reply(d, BllRejectFrame());
  d.blockSize = request->blockSize;
  d.fileSize = info.st_size;
  d.packetCount = static_cast<int>((d.fileSize + d.blockSize - 1) / d.blockSize);
  d.packetNo = 0;
  return Reply(d, BllStartReply(d.packetCount, d.blockSize));
}

bool Continue(FloorDownload& d, std::span<const std::uint8_t> frame) {
  const std::uint8_t command = ByteAt(frame, 1);
  if (command == kCmdBegin) {
    d.packetNo = 0;
  } else if (command == kCmdBllNext) {
    if (ByteAt(frame, kVerdictOffset) == kAck) ++d.packetNo;
  } else {
    ::close(d.file);
    d.file = -1;
    return false;
  }
  if (d.packetNo >= d.packetCount) {
    ::close(d.file);
    d.file = -1;
    return Reply(d, BllEndFrame(d.packetCount));
  }
  const std::int64_t offset = std::int64_t{d.packetNo} * d.blockSize;
  const auto len =
      static_cast<std::size_t>(std::min<std::int64_t>(d.fileSize - offset, d.blockSize));
  d.out.resize(len + kDataFrameOverhead);
  d.blocks.Read(d.file, offset, d.blockSize, d.fileSize,
                std::span<std::uint8_t>(d.out.data() + kDataOffset, len));
  SealDataFrame(FrameFamily::Bll, d.packetNo, d.out);
  return true;
}
}  // namespace

bool FloorAnswer(int folder, FloorDownload& d, std::size_t got) {
  const std::size_t len = FindFrameStart(std::span<std::uint8_t>(d.in.data(), got));
  if (len == 0) return false;
  const std::span<const std::uint8_t> frame(d.in.data(), len);
  return d.file < 0 ? Start(folder, d, frame) : Continue(d, frame);
}

bool FloorArgs(int argc, char** argv, const char* usage, unsigned& port, int& folder) {
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::fputs(usage, stdout);
    std::exit(0);
  }
  if (argc != 3 ||
      std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), port).ec != std::errc() ||
      port == 0 || port > 65535) {
    std::fputs(usage, stderr);
    std::exit(2);
  }
  folder = ::open(argv[2], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) std::perror(argv[2]);
  return folder >= 0;
}

int FloorListen(unsigned port, int flags) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | flags, 0);
  const int on = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      ::listen(listener, SOMAXCONN) != 0) {
    std::perror("listen");
    if (listener >= 0) ::close(listener);
    return -1;
  }
  return listener;
}

// The two lock-step clients. The BLL frames come from the terminal simulator,
// which is written from the protocol alone and shares no code with the loader.
#include "DownloadClients.h"

#include "Frames.h"

#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

DownloadClient::~DownloadClient() {
  Close();
}

void DownloadClient::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool DownloadClient::Matches() const {
  return m_received.size() == m_target.image.size() &&
         std::equal(m_received.begin(), m_received.end(), m_target.image.begin());
}

namespace {
constexpr std::uint16_t kTftpRrq = 1, kTftpData = 3, kTftpAck = 4, kTftpError = 5, kTftpOack = 6;

std::uint16_t Word(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

/// TFTP read (RFC 1350) with the blksize option (RFC 2348), octet mode.
class TftpClient : public DownloadClient {
 public:
  using DownloadClient::DownloadClient;

  DownloadState Begin() override {
    Close();
    m_received.clear();
    m_nextBlock = 1;
    m_connected = false;
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return DownloadState::Failed;
    m_last.clear();
    PutWord(m_last, kTftpRrq);
    PutText(m_last, m_target.fileName);
    PutText(m_last, "octet");
    PutText(m_last, "blksize");
    PutText(m_last, std::to_string(m_target.blockSize));
    return SendLast() ? DownloadState::Running : DownloadState::Failed;
  }

  DownloadState OnEvents(std::uint32_t events) override {
    if ((events & EPOLLIN) == 0) return DownloadState::Running;
    for (;;) {
      sockaddr_in from{};
      socklen_t fromLen = sizeof from;
      const ssize_t n = ::recvfrom(m_fd, m_packet.data(), m_packet.size(), 0,
                                   reinterpret_cast<sockaddr*>(&from), &fromLen);
      if (n < 0)
        return errno == EAGAIN || errno == EINTR ? DownloadState::Running : DownloadState::Failed;
      if (n < 4) continue;
      if (!m_connected) {
        // The transfer's own port (its TID) answers; everything else goes there.
        if (::connect(m_fd, reinterpret_cast<sockaddr*>(&from), fromLen) != 0)
          return DownloadState::Failed;
        m_connected = true;
      }
      const std::uint16_t op = Word(m_packet.data());
      if (op == kTftpError) return DownloadState::Failed;
      if (op == kTftpOack) {
        if (m_nextBlock == 1) SendAck(0);
        continue;
      }
      if (op != kTftpData) continue;
      const std::uint16_t block = Word(m_packet.data() + 2);
      // A repeated block is left to the server's own resend (no duplicate ACKs).
      if (block != static_cast<std::uint16_t>(m_nextBlock)) continue;
      const auto len = static_cast<std::size_t>(n - 4);
      m_received.insert(m_received.end(), m_packet.begin() + 4,
                        m_packet.begin() + 4 + static_cast<std::ptrdiff_t>(len));
      SendAck(block);
      ++m_nextBlock;
      if (len < static_cast<std::size_t>(m_target.blockSize)) return DownloadState::Done;
    }
  }

  void Resend() override { SendLast(); }
  std::uint32_t WantedEvents() const override { return EPOLLIN; }

 private:
  static void PutWord(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  }
  static void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
  }
  void SendAck(std::uint16_t block) {
    m_last.clear();
    PutWord(m_last, kTftpAck);
    PutWord(m_last, block);
    SendLast();
  }
  bool SendLast() {
    const ssize_t n = m_connected ? ::send(m_fd, m_last.data(), m_last.size(), 0)
                                  : ::sendto(m_fd, m_last.data(), m_last.size(), 0,
                                             reinterpret_cast<const sockaddr*>(&m_target.server),
                                             sizeof m_target.server);
    return n == static_cast<ssize_t>(m_last.size());
  }

  std::vector<std::uint8_t> m_last;  // the packet to send again when nothing arrives
  std::array<std::uint8_t, 65536> m_packet{};
  int m_nextBlock = 1;
  bool m_connected = false;
};

/// BLL download over TCP: request, start reply, begin, then data block and
/// "next" in turn until the end frame.
class BllClient : public DownloadClient {
 public:
  using DownloadClient::DownloadClient;

  DownloadState Begin() override {
    Close();
    m_received.clear();
    m_in.clear();
    m_nextBlock = 0;
    m_blockCount = -1;
    m_connecting = true;
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return DownloadState::Failed;
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&m_target.server),
                  sizeof m_target.server) != 0 &&
        errno != EINPROGRESS)
      return DownloadState::Failed;
    return DownloadState::Running;
  }

  DownloadState OnEvents(std::uint32_t events) override {
    if (m_connecting) {
      if ((events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) == 0) return DownloadState::Running;
      int error = 0;
      socklen_t len = sizeof error;
      ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len);
      if (error != 0) return DownloadState::Failed;
      m_connecting = false;
      // The name is MCA + three digits + ".bll".
      const std::string digits = m_target.fileName.substr(3, 3);
      return Send(termsim::BllRequest(termsim::BllForm::Mca, digits));
    }
    if ((events & (EPOLLIN | EPOLLERR | EPOLLHUP)) == 0) return DownloadState::Running;
    std::array<std::uint8_t, 4096> chunk{};
    const ssize_t n = ::read(m_fd, chunk.data(), chunk.size());
    if (n < 0)
      return errno == EAGAIN || errno == EINTR ? DownloadState::Running : DownloadState::Failed;
    if (n == 0) return DownloadState::Failed;  // closed before the end frame
    m_in.insert(m_in.end(), chunk.begin(), chunk.begin() + n);
    return TakeFrames();
  }

  std::uint32_t WantedEvents() const override { return m_connecting ? EPOLLOUT : EPOLLIN; }

 private:
  DownloadState Send(const termsim::Bytes& frame) {
    const ssize_t n = ::write(m_fd, frame.data(), frame.size());
    return n == static_cast<ssize_t>(frame.size()) ? DownloadState::Running : DownloadState::Failed;
  }

  static std::size_t FrameLength(std::span<const std::uint8_t> in) {
    if (in.size() < 2) return 0;
    switch (in[1]) {
      case '2':  // start reply 02 32 Nh Nl Bh Bl 03 LRC
      case '6':  // end 02 36 Nh Nl Nh Nl 03 LRC
        return 8;
      case '7':  // reject 02 37 31 31 31 03 LRC
        return 7;
      case '4':  // data 02 34 Ph Pl Lh Ll Cl Ch 1C data 1C 03 LRC
        return in.size() < 6 ? 0 : 12 + Word(in.data() + 4);
      default:
        return SIZE_MAX;
    }
  }

  DownloadState TakeFrames() {
    std::size_t used = 0;
    DownloadState state = DownloadState::Running;
    while (state == DownloadState::Running) {
      const std::span<const std::uint8_t> rest(m_in.data() + used, m_in.size() - used);
      const std::size_t len = FrameLength(rest);
      if (len == SIZE_MAX || (!rest.empty() && rest[0] != termsim::kBllStart))
        return DownloadState::Failed;
      if (len == 0 || rest.size() < len) break;
      state = OnFrame(rest.first(len));
      used += len;
    }
    m_in.erase(m_in.begin(), m_in.begin() + static_cast<std::ptrdiff_t>(used));
    return state;
  }

  DownloadState OnFrame(std::span<const std::uint8_t> frame) {
    if (termsim::Lrc(frame.subspan(1, frame.size() - 2)) != frame.back())
      return DownloadState::Failed;
    switch (frame[1]) {
      case '2':
        m_blockCount = Word(frame.data() + 2);
        if (Word(frame.data() + 4) != m_target.blockSize) return DownloadState::Failed;
        return Send(termsim::BllBegin());
      case '4': {
        const int block = Word(frame.data() + 2);
        const std::span<const std::uint8_t> data = frame.subspan(9, frame.size() - 12);
        if (block != m_nextBlock || termsim::BlockChecksum(data) != (frame[6] | (frame[7] << 8)))
          return DownloadState::Failed;
        m_received.insert(m_received.end(), data.begin(), data.end());
        ++m_nextBlock;
        return Send(termsim::BllNext(block, termsim::kAck));
      }
      case '6':
        return m_nextBlock == m_blockCount ? DownloadState::Done : DownloadState::Failed;
      default:
        return DownloadState::Failed;
    }
  }

  std::vector<std::uint8_t> m_in;
  int m_nextBlock = 0;
  int m_blockCount = -1;
  bool m_connecting = false;
};
}  // namespace

std::unique_ptr<DownloadClient> MakeTftpClient(const DownloadTarget& target) {
  return std::make_unique<TftpClient>(target);
}

std::unique_ptr<DownloadClient> MakeBllClient(const DownloadTarget& target) {
  return std::make_unique<BllClient>(target);
}

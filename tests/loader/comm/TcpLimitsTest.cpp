// What one TCP peer may hold of the server: a bounded write queue (reading stops
// until the peer takes its replies), an idle time-out, and a listener that backs
// off instead of spinning when no descriptor is left.
#include "net/ClientSocket.h"
#include "net/ListenSocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {
/// A server whose every receive is answered with a large reply.
class ReplyServer : public ISocketEvents {
 public:
  explicit ReplyServer(ConnectionLimits limits)
      : m_limits(limits), m_listen([this] { Accept(); }) {}
  ~ReplyServer() override { m_clients.clear(); }
  void Accept() {
    while (UniqueFd s = m_listen.Accept())
      m_clients.push_back(std::make_unique<ClientSocket>(std::move(s), *this, m_limits));
  }
  void OnSocketReceive(ClientSocket* socket, std::span<const std::uint8_t>) override {
    ++m_receives;
    const std::vector<std::uint8_t> reply(m_replySize, 0x5A);
    if (socket->Send(reply) == 0) ++m_refused;
    m_maxQueued = std::max(m_maxQueued, socket->WriteQueued());
  }
  void OnSocketClosed(ClientSocket*) override { ++m_closed; }
  int TcpPaceMs() const override { return 0; }

  ConnectionLimits m_limits;
  ListenSocket m_listen;
  std::vector<std::unique_ptr<ClientSocket>> m_clients;
  std::size_t m_replySize = 8192;
  std::size_t m_maxQueued = 0;
  int m_receives = 0;
  int m_refused = 0;
  int m_closed = 0;
};

bool ProcessUntil(const std::function<bool()>& pred, int timeoutMs = 10000) {
  QDeadlineTimer deadline(timeoutMs);
  while (!pred()) {
    if (deadline.hasExpired()) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

/// A raw client socket that the test drives by hand (it never reads unless told).
int ConnectRaw(std::uint16_t port, int rcvbuf = 0) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  if (rcvbuf > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  (void)::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  return fd;
}

class TcpLimitsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "loader_comm_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  }
};
}  // namespace

TEST_F(TcpLimitsTest, PeerThatNeverReadsHoldsAtMostTheQueueLimit) {
  ReplyServer server({16 * 1024, 0});
  ASSERT_TRUE(server.m_listen.Listen(0));
  const int fd = ConnectRaw(server.m_listen.Port(), 4096);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(ProcessUntil([&] { return server.m_clients.size() == 1; }));
  ClientSocket& client = *server.m_clients.front();
  // Keep sending requests and never read a reply: the system's buffers fill,
  // then ours up to its limit; then the server stops reading this peer.
  const char request[16] = {0x02, 0x33, 0x03, 0x30};
  ASSERT_TRUE(ProcessUntil(
      [&] {
        (void)!::send(fd, request, sizeof request, MSG_NOSIGNAL);
        return client.IsReadingHeld();
      },
      20000));
  const int receivesWhenHeld = server.m_receives;
  for (int i = 0; i < 200; ++i) {
    (void)!::send(fd, request, sizeof request, MSG_NOSIGNAL);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  EXPECT_EQ(server.m_receives, receivesWhenHeld);  // nothing more read, nothing more answered
  EXPECT_LE(server.m_maxQueued, 16u * 1024);
  EXPECT_LE(client.WriteQueued(), 16u * 1024);

  // Once the peer reads, its replies drain and reading resumes.
  std::vector<char> sink(1 << 16);
  ASSERT_TRUE(ProcessUntil([&] {
    while (::recv(fd, sink.data(), sink.size(), 0) > 0) {
    }
    return !client.IsReadingHeld() && server.m_receives > receivesWhenHeld;
  }));
  ::close(fd);
}

TEST_F(TcpLimitsTest, SilentConnectionIsClosedAfterTheIdleTime) {
  ReplyServer server({kTcpWriteQueueBytes, 1});
  ASSERT_TRUE(server.m_listen.Listen(0));
  const int fd = ConnectRaw(server.m_listen.Port());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(ProcessUntil([&] { return server.m_clients.size() == 1; }));
  ASSERT_TRUE(ProcessUntil([&] { return server.m_closed == 1; }));
  EXPECT_TRUE(server.m_clients.front()->IsClosed());
  // The peer sees the connection end.
  char b = 0;
  ASSERT_TRUE(ProcessUntil([&] { return ::recv(fd, &b, 1, 0) == 0; }));
  ::close(fd);
}

TEST_F(TcpLimitsTest, NoDescriptorLeftPausesAcceptingThenRecovers) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizers open files of their own while they check a call; with no
  // descriptor left they report the check itself as a fault.
  GTEST_SKIP() << "needs a process without sanitizers";
#endif
  ReplyServer server({});
  ASSERT_TRUE(server.m_listen.Listen(0));
  const int fd = ConnectRaw(server.m_listen.Port());
  ASSERT_GE(fd, 0);
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
  // The lowest free descriptor becomes the limit: accept() has none to give.
  const int lowest = ::dup(0);
  ASSERT_GE(lowest, 0);
  ::close(lowest);
  rlimit tight = old;
  tight.rlim_cur = static_cast<rlim_t>(lowest);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  const bool backedOff = ProcessUntil([&] { return server.m_listen.AcceptErrors() > 0; }, 5000);
  const bool paused = server.m_listen.IsBackingOff();
  const std::size_t acceptedMeanwhile = server.m_clients.size();
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &old), 0);
  EXPECT_TRUE(backedOff);
  EXPECT_TRUE(paused);
  EXPECT_EQ(acceptedMeanwhile, 0u);
  // Once descriptors are free again the waiting connection is taken.
  EXPECT_TRUE(ProcessUntil([&] { return server.m_clients.size() == 1; }));
  ::close(fd);
}

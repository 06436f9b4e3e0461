// TCP listener and connections on 127.0.0.1: receive limits, per-connection
// pacing, closed connections reported, a taken port reported.
#include "net/ClientSocket.h"
#include "net/ListenSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
struct Receive {
  ClientSocket* socket;
  std::string data;
};

/// Owns the accepted connections the way the loader does.
class Server : public ISocketEvents {
 public:
  Server() : m_listen([this] { Accept(); }) {}
  ~Server() override { m_clients.clear(); }

  void Accept() {
    while (UniqueFd s = m_listen.Accept()) {
      m_clients.push_back(std::make_unique<ClientSocket>(std::move(s), *this));
      ++m_accepted;
    }
  }
  void OnSocketReceive(ClientSocket* socket, std::span<const std::uint8_t> data) override {
    m_receives.push_back({socket, std::string(data.begin(), data.end())});
    if (m_echo) socket->Send(data);
    // At once, inside the notification: another connection may be ready in the same batch.
    if (m_dropOthers) std::erase_if(m_clients, [&](const auto& c) { return c.get() != socket; });
  }
  void OnSocketClosed(ClientSocket* socket) override {
    ++m_closed;
    // Deleted later, as the loader does, never inside its own notification.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, socket] {
          std::erase_if(m_clients, [&](const auto& c) { return c.get() == socket; });
        },
        Qt::QueuedConnection);
  }
  int TcpPaceMs() const override { return m_pace; }

  ListenSocket m_listen;
  std::vector<std::unique_ptr<ClientSocket>> m_clients;
  std::vector<Receive> m_receives;
  int m_pace = 0;
  int m_closed = 0;
  int m_accepted = 0;
  bool m_echo = false;
  bool m_dropOthers = false;
};

std::unique_ptr<QTcpSocket> Connect(std::uint16_t port) {
  auto s = std::make_unique<QTcpSocket>();
  s->connectToHost(QHostAddress::LocalHost, port);
  EXPECT_TRUE(s->waitForConnected(5000));
  return s;
}

class TcpTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "loader_net_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  }
  void SetUp() override { ASSERT_TRUE(m_server.m_listen.Listen(0)); }
  std::uint16_t Port() const { return m_server.m_listen.Port(); }
  Server m_server;
};
}  // namespace

TEST_F(TcpTest, TwoClientsAreServedEachOnItsOwnConnection) {
  m_server.m_echo = true;
  auto a = Connect(Port());
  auto b = Connect(Port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_clients.size() == 2; }, 5000));
  a->write(
      "\x02"
      "1B-from-a");
  b->write(
      "\x02"
      "1C-from-b");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_receives.size() == 2; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return a->bytesAvailable() >= 10 && b->bytesAvailable() >= 10; }, 5000));
  EXPECT_EQ(a->readAll().toStdString(),
            "\x02"
            "1B-from-a");
  EXPECT_EQ(b->readAll().toStdString(),
            "\x02"
            "1C-from-b");
  EXPECT_NE(m_server.m_receives[0].socket, m_server.m_receives[1].socket);
}

TEST_F(TcpTest, ConnectionDeletedWhileReadyInTheSameBatchIsNotTouched) {
  m_server.m_dropOthers = true;
  std::vector<std::unique_ptr<QTcpSocket>> peers;
  for (int i = 0; i < 3; ++i) peers.push_back(Connect(Port()));
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_clients.size() == 3; }, 5000));
  // All three are readable before the loop looks again: one batch holds them all.
  for (auto& p : peers) {
    p->write("x");
    ASSERT_TRUE(p->flush());
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return !m_server.m_receives.empty(); }, 5000));
  QTest::qWait(50);
  EXPECT_EQ(m_server.m_receives.size(), 1u);
  ASSERT_EQ(m_server.m_clients.size(), 1u);
  EXPECT_EQ(m_server.m_clients.front().get(), m_server.m_receives.front().socket);
}

TEST_F(TcpTest, ReceiveTakesAtMost1024BytesAndRestComesNext) {
  auto a = Connect(Port());
  const std::string big(1500, 'q');
  a->write(big.data(), static_cast<qint64>(big.size()));
  a->flush();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        std::size_t total = 0;
        for (const auto& r : m_server.m_receives) total += r.data.size();
        return total == big.size();
      },
      5000));
  std::string joined;
  for (const auto& r : m_server.m_receives) {
    EXPECT_LE(r.data.size(), 1024u);
    joined += r.data;
  }
  EXPECT_EQ(joined, big);
  EXPECT_GE(m_server.m_receives.size(), 2u);
}

TEST_F(TcpTest, PacingHoldsBackOnlyThePausedConnection) {
  m_server.m_pace = 500;
  auto a = Connect(Port());
  auto b = Connect(Port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_clients.size() == 2; }, 5000));
  a->write("A1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_receives.size() == 1; }, 5000));
  ClientSocket* first = m_server.m_receives[0].socket;
  EXPECT_TRUE(first->IsPaused());
  // While a is paused, its next packet waits; b is served at once.
  a->write("A2");
  a->flush();
  QTest::qWait(20);
  b->write("B1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_receives.size() == 2; }, 5000));
  EXPECT_EQ(m_server.m_receives[1].data, "B1");
  EXPECT_TRUE(first->IsPaused());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_receives.size() == 3; }, 5000));
  EXPECT_EQ(m_server.m_receives[2].data, "A2");
  EXPECT_EQ(m_server.m_receives[2].socket, first);
}

TEST_F(TcpTest, NoPacingTakesQueuedDataOneReceivePerTurn) {
  m_server.m_pace = 0;
  auto a = Connect(Port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_clients.size() == 1; }, 5000));
  a->write("P1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_receives.size() == 1; }, 5000));
  EXPECT_FALSE(m_server.m_clients[0]->IsPaused());
  a->write("P2");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_receives.size() == 2; }, 5000));
  EXPECT_EQ(m_server.m_receives[1].data, "P2");
}

TEST_F(TcpTest, ClosedConnectionsAreRemovedOverManyCycles) {
  for (int i = 0; i < 200; ++i) {
    auto c = Connect(Port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.m_accepted == i + 1; }, 5000));
    if (i % 2 == 0)
      c->write(
          "\x0F"
          "1");
    c->disconnectFromHost();
    if (c->state() != QAbstractSocket::UnconnectedState) c->waitForDisconnected(1000);
  }
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return m_server.m_closed == 200 && m_server.m_clients.empty(); }, 10000));
  EXPECT_EQ(m_server.m_receives.size(), 100u);
}

TEST_F(TcpTest, TakenPortIsReported) {
  ListenSocket second([] {});
  EXPECT_FALSE(second.Listen(Port()));
  EXPECT_FALSE(second.ErrorString().empty());
  EXPECT_EQ(second.Port(), 0);
}

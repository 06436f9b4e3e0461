// TCP listener and connections on 127.0.0.1: receive limits, per-connection
// pacing, closed connections reported, a taken port reported.
#include "comm/ClientSocket.h"
#include "comm/ListenSocket.h"

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
  CClientSocket* socket;
  std::string data;
};

/// Owns the accepted connections the way the loader does.
class CServer : public ISocketEvents {
 public:
  CServer() : m_Listen([this] { Accept(); }) {}
  ~CServer() override { m_Clients.clear(); }

  void Accept() {
    while (CUniqueFd s = m_Listen.Accept()) {
      m_Clients.push_back(std::make_unique<CClientSocket>(std::move(s), *this));
      ++m_nAccepted;
    }
  }
  void OnSocketReceive(CClientSocket* pSocket, std::span<const std::uint8_t> data) override {
    m_Receives.push_back({pSocket, std::string(data.begin(), data.end())});
    if (m_bEcho) pSocket->Send(data);
  }
  void OnSocketClosed(CClientSocket* pSocket) override {
    ++m_nClosed;
    // Deleted later, as the loader does, never inside its own notification.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [this, pSocket] {
          std::erase_if(m_Clients, [&](const auto& c) { return c.get() == pSocket; });
        },
        Qt::QueuedConnection);
  }
  int TcpPaceMs() const override { return m_nPace; }

  CListenSocket m_Listen;
  std::vector<std::unique_ptr<CClientSocket>> m_Clients;
  std::vector<Receive> m_Receives;
  int m_nPace = 0;
  int m_nClosed = 0;
  int m_nAccepted = 0;
  bool m_bEcho = false;
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
  void SetUp() override { ASSERT_TRUE(m_Server.m_Listen.Listen(0)); }
  std::uint16_t Port() const { return m_Server.m_Listen.Port(); }
  CServer m_Server;
};
}  // namespace

TEST_F(TcpTest, TwoClientsAreServedEachOnItsOwnConnection) {
  m_Server.m_bEcho = true;
  auto a = Connect(Port());
  auto b = Connect(Port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Clients.size() == 2; }, 5000));
  a->write(
      "\x02"
      "1B-from-a");
  b->write(
      "\x02"
      "1C-from-b");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Receives.size() == 2; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return a->bytesAvailable() >= 10 && b->bytesAvailable() >= 10; }, 5000));
  EXPECT_EQ(a->readAll().toStdString(),
            "\x02"
            "1B-from-a");
  EXPECT_EQ(b->readAll().toStdString(),
            "\x02"
            "1C-from-b");
  EXPECT_NE(m_Server.m_Receives[0].socket, m_Server.m_Receives[1].socket);
}

TEST_F(TcpTest, ReceiveTakesAtMost1024BytesAndRestComesNext) {
  auto a = Connect(Port());
  const std::string big(1500, 'q');
  a->write(big.data(), static_cast<qint64>(big.size()));
  a->flush();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        std::size_t total = 0;
        for (const auto& r : m_Server.m_Receives) total += r.data.size();
        return total == big.size();
      },
      5000));
  std::string joined;
  for (const auto& r : m_Server.m_Receives) {
    EXPECT_LE(r.data.size(), 1024u);
    joined += r.data;
  }
  EXPECT_EQ(joined, big);
  EXPECT_GE(m_Server.m_Receives.size(), 2u);
}

TEST_F(TcpTest, PacingHoldsBackOnlyThePausedConnection) {
  m_Server.m_nPace = 500;
  auto a = Connect(Port());
  auto b = Connect(Port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Clients.size() == 2; }, 5000));
  a->write("A1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Receives.size() == 1; }, 5000));
  CClientSocket* first = m_Server.m_Receives[0].socket;
  EXPECT_TRUE(first->IsPaused());
  // While a is paused, its next packet waits; b is served at once.
  a->write("A2");
  a->flush();
  QTest::qWait(20);
  b->write("B1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Receives.size() == 2; }, 5000));
  EXPECT_EQ(m_Server.m_Receives[1].data, "B1");
  EXPECT_TRUE(first->IsPaused());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Receives.size() == 3; }, 5000));
  EXPECT_EQ(m_Server.m_Receives[2].data, "A2");
  EXPECT_EQ(m_Server.m_Receives[2].socket, first);
}

TEST_F(TcpTest, NoPacingTakesQueuedDataOneReceivePerTurn) {
  m_Server.m_nPace = 0;
  auto a = Connect(Port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Clients.size() == 1; }, 5000));
  a->write("P1");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Receives.size() == 1; }, 5000));
  EXPECT_FALSE(m_Server.m_Clients[0]->IsPaused());
  a->write("P2");
  ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_Receives.size() == 2; }, 5000));
  EXPECT_EQ(m_Server.m_Receives[1].data, "P2");
}

TEST_F(TcpTest, ClosedConnectionsAreRemovedOverManyCycles) {
  for (int i = 0; i < 200; ++i) {
    auto c = Connect(Port());
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_Server.m_nAccepted == i + 1; }, 5000));
    if (i % 2 == 0)
      c->write(
          "\x0F"
          "1");
    c->disconnectFromHost();
    if (c->state() != QAbstractSocket::UnconnectedState) c->waitForDisconnected(1000);
  }
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return m_Server.m_nClosed == 200 && m_Server.m_Clients.empty(); }, 10000));
  EXPECT_EQ(m_Server.m_Receives.size(), 100u);
}

TEST_F(TcpTest, TakenPortIsReported) {
  CListenSocket second([] {});
  EXPECT_FALSE(second.Listen(Port()));
  EXPECT_FALSE(second.ErrorString().empty());
  EXPECT_EQ(second.Port(), 0);
}

// The real `Tarvix --headless` against hostile peers and a hostile image folder:
// frames split in two, a client that never reads, more connections than the
// cap, files swapped for FIFOs and symlinks, a serial line that takes nothing.
#include "support/ChildProcess.h"
#include "support/FreePort.h"
#include "support/TempDir.h"

#include "Frames.h"
#include "Terminal.h"
#include "Transport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace fs = std::filesystem;
using termsim::Bytes;
using termsim::Millis;

namespace {
using testsupport::FreeTcpPort;
/// A raw, non-blocking TCP connection to the child (-1 on failure).
int ConnectRaw(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

/// True when the server closed fd within timeoutMs (recv sees the end).
bool ClosedByPeer(int fd, int timeoutMs) {
  termsim::FdTransport line(::dup(fd), "probe", true);
  Bytes got;
  return line.Receive(got, Millis(timeoutMs)) == termsim::ReadStatus::Closed;
}

Bytes Pattern(std::size_t size, unsigned seed) {
  Bytes data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 31 + seed);
  return data;
}

class HardeningE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_dir.Path() / "rom");
    fs::create_directories(m_dir.Path() / "bll");
    std::string error;
    m_pty = termsim::PtyTransport::Create(error);
    ASSERT_TRUE(m_pty) << error;
    m_tcpPort = FreeTcpPort();
  }
  void TearDown() override {
    if (HasFailure() && m_process) m_process->PrintLines("Tarvix");
    m_process.reset();
  }
  std::string Put(const std::string& folder, const std::string& name, const Bytes& data) {
    const fs::path path = m_dir.Path() / folder / name;
    EXPECT_TRUE(testsupport::WriteFile(path, std::string(data.begin(), data.end())));
    return path.string();
  }
  void StartTarvix(const std::string& extraKeys = {}) {
    const std::string cfg = "[Location]\r\nROMFILE=" + (m_dir.Path() / "rom").string() +
                            "\r\nBLLFILE=" + (m_dir.Path() / "bll").string() +
                            "\r\n[Communication]\r\nPORT=COM1\r\nTYPE=RS232\r\nBAUD=115200bps\r\n"
                            "TCPPACE=0\r\n" +
                            extraKeys + "[Ports]\r\nCOM1=" + m_pty->SlavePath() + "\r\n";
    ASSERT_TRUE(testsupport::WriteFile(m_dir.Path() / "Romvale.cfg", cfg));
    m_process = std::make_unique<ChildProcess>(
        TARVIX_EXE, m_dir.Path().string(),
        std::vector<std::string>{"--headless", "--tcp-port", std::to_string(m_tcpPort)});
    ASSERT_TRUE(m_process->WaitForOut("port: ", true));
  }
  std::unique_ptr<termsim::ITransport> ConnectTcp() {
    std::string error;
    auto line = termsim::ConnectTcp("127.0.0.1", m_tcpPort, Millis(5000), error);
    EXPECT_TRUE(line) << error;
    return line;
  }
  /// A whole BLL download over a fresh connection, compared byte for byte.
  void ExpectBllDownloadWorks(const std::string& file) {
    auto tcp = ConnectTcp();
    ASSERT_TRUE(tcp);
    termsim::DownloadOptions opt;
    opt.family = termsim::Family::Bll;
    opt.bllForm = termsim::BllForm::Mca;
    opt.bllDigits = "001";
    opt.expectedFile = file;
    const auto r = termsim::RunDownload(*tcp, opt);
    EXPECT_TRUE(r.ok) << r.error;
  }

  /// Waits (bounded) until Tarvix has printed line at least count times.
  bool WaitForLineCount(const std::string& line, int count) {
    for (int i = 0; i < 1000; ++i) {
      int seen = 0;
      for (const auto& l : m_process->OutLines()) seen += l == line ? 1 : 0;
      if (seen >= count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  testsupport::TempDir m_dir{"tarvix-hard"};
  std::unique_ptr<termsim::PtyTransport> m_pty;
  int m_tcpPort = 0;
  std::unique_ptr<ChildProcess> m_process;
};
}  // namespace

TEST_F(HardeningE2E, FramesWrittenInTwoHalvesAreAnswered) {
  StartTarvix("DISPATCH=FRAME\r\nFRAMEWAIT=100\r\n");
  termsim::DownloadOptions opt;
  opt.family = termsim::Family::Rom;
  opt.romSelector = *termsim::RomSelectorForName("TRM-7.jd0");
  opt.expectedFile = Put("rom", "TRM-7.jd0", Pattern(9000, 7));
  opt.nakBlock = 2;
  // Longer than the 15 ms pause of the burst rule, as USB adapters deliver.
  opt.splitGap = Millis(20);
  const auto r = termsim::RunDownload(*m_pty, opt);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.receivedBytes, 9000u);
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(HardeningE2E, ClientThatNeverReadsStallsNoOneElse) {
  StartTarvix();
  const std::string file = Put("bll", "MCA001.bll", Pattern(700, 1));
  const int flood = ConnectRaw(m_tcpPort);
  ASSERT_GE(flood, 0);
  int small = 2048;
  ::setsockopt(flood, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  // Requests for a missing file, each answered with a reject this client never reads.
  const Bytes request = termsim::BllRequest(termsim::BllForm::Mca, "999");
  Bytes burst;
  for (int i = 0; i < 64; ++i) burst.insert(burst.end(), request.begin(), request.end());
  const int flags = MSG_NOSIGNAL | MSG_DONTWAIT;
  for (int i = 0; i < 4000; ++i) {
    if (::send(flood, burst.data(), burst.size(), flags) < 0)
      break;  // the server stopped reading it
  }
  ExpectBllDownloadWorks(file);
  ::close(flood);
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(HardeningE2E, ConnectionsOverTheCapAreClosedAtOnce) {
  StartTarvix("TCPMAXCONN=256\r\nTCPIDLE=300\r\n");
  const std::string file = Put("bll", "MCA001.bll", Pattern(300, 3));
  std::vector<int> held;
  for (int i = 0; i < 256; ++i) {
    const int fd = ConnectRaw(m_tcpPort);
    ASSERT_GE(fd, 0);
    held.push_back(fd);
  }
  // Each of these is over the cap: accepted and closed at once.
  for (int i = 0; i < 4; ++i) {
    const int fd = ConnectRaw(m_tcpPort);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(ClosedByPeer(fd, 10000)) << i;
    ::close(fd);
  }
  EXPECT_FALSE(ClosedByPeer(held.front(), 200));
  // A place frees up when a held connection goes.
  ::close(held.back());
  held.pop_back();
  bool served = false;
  for (int attempt = 0; attempt < 50 && !served; ++attempt) {
    std::string error;
    auto tcp = termsim::ConnectTcp("127.0.0.1", m_tcpPort, Millis(5000), error);
    ASSERT_TRUE(tcp) << error;
    termsim::DownloadOptions opt;
    opt.family = termsim::Family::Bll;
    opt.expectedFile = file;
    opt.replyTimeout = Millis(1000);
    served = termsim::RunDownload(*tcp, opt).ok;  // fails while the close is still on its way
  }
  EXPECT_TRUE(served);
  for (int fd : held) ::close(fd);
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(HardeningE2E, AThousandTerminalsAreServedUnderALowSoftDescriptorLimit) {
  // Started with a soft limit of 256 (a hard one above): Tarvix raises it itself.
  rlimit own{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &own), 0);
  if (own.rlim_max < 1200) GTEST_SKIP() << "hard descriptor limit below 1200";
  rlimit low = own;
  low.rlim_cur = 256;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  StartTarvix("TCPMAXCONN=1000\r\nCONCURRENT=1\r\n");
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &own), 0);
  const std::string file = Put("bll", "MCA001.bll", Pattern(600, 5));
  std::vector<int> held;
  for (int i = 0; i < 1000; ++i) {
    const int fd = ConnectRaw(m_tcpPort);
    ASSERT_GE(fd, 0) << i;
    held.push_back(fd);
  }
  // The last of them is accepted and served while the other 999 are held.
  termsim::FdTransport last(::dup(held.back()), "last", true);
  termsim::DownloadOptions opt;
  opt.family = termsim::Family::Bll;
  opt.expectedFile = file;
  const auto r = termsim::RunDownload(last, opt);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_FALSE(ClosedByPeer(held.front(), 100));
  for (const int fd : held) ::close(fd);
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(HardeningE2E, SwappedFifoAndSymlinkNeverHangOrLeadOutOfTheFolder) {
  StartTarvix();
  const fs::path bll = m_dir.Path() / "bll";
  const Bytes inside = Pattern(300, 4);        // 2 blocks of 256
  const Bytes outside = Pattern(256 * 20, 5);  // 20 blocks: a start reply that tells
  ASSERT_TRUE(testsupport::WriteFile(m_dir.Path() / "secret.bin",
                                     std::string(outside.begin(), outside.end())));
  Put("bll", "real.bll", inside);
  ASSERT_EQ(::mkfifo((bll / "fifo.bll").c_str(), 0600), 0);
  fs::create_symlink("../secret.bin", bll / "out.bll");
  fs::create_symlink("real.bll", bll / "in.bll");
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    // Atomic renames, so every request finds one of the three in place.
    const char* sources[] = {"in.bll", "fifo.bll", "out.bll"};
    for (unsigned i = 0; !stop; ++i) {
      const fs::path tmp = bll / "swap.tmp";
      std::error_code ec;
      fs::remove(tmp, ec);
      const std::string which = sources[i % 3];
      if (which == "fifo.bll") {
        ::mkfifo(tmp.c_str(), 0600);
      } else {
        fs::create_symlink(fs::read_symlink(bll / which, ec), tmp, ec);
      }
      fs::rename(tmp, bll / "MCA001.bll", ec);
    }
  });
  auto tcp = ConnectTcp();
  ASSERT_TRUE(tcp);
  const Bytes request = termsim::BllRequest(termsim::BllForm::Mca, "001");
  const Bytes insideReply = termsim::BllStartReply(inside.size(), 256);
  const Bytes outsideReply = termsim::BllStartReply(outside.size(), 256);
  const Bytes reject = termsim::BllRejectReply();
  int servedInside = 0, servedOutside = 0, refused = 0, other = 0;
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(tcp->Send(request));
    Bytes got;
    while (got.size() < reject.size()) {
      ASSERT_EQ(tcp->Receive(got, Millis(5000)), termsim::ReadStatus::Data)
          << "no reply to request " << i;
    }
    if (got.size() < insideReply.size() && got != reject) {
      ASSERT_EQ(tcp->Receive(got, Millis(5000)), termsim::ReadStatus::Data);
    }
    if (got == insideReply || got == outsideReply) {
      ++(got == insideReply ? servedInside : servedOutside);
      // End the session (no reply) and wait until it has ended before the next request.
      ASSERT_TRUE(tcp->Send(termsim::BllTerminalError()));
      const int ended = servedInside + servedOutside;
      ASSERT_TRUE(WaitForLineCount("status: Terminal error occurs!!", ended));
    } else if (got == reject) {
      ++refused;
    } else {
      ++other;
    }
  }
  stop = true;
  swapper.join();
  EXPECT_EQ(servedOutside, 0);
  EXPECT_EQ(other, 0);
  EXPECT_GT(servedInside + refused, 0);
  std::cerr << "  swaps: " << servedInside << " served inside, " << refused << " refused\n";
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

TEST_F(HardeningE2E, SerialLineThatTakesNothingStallsNothingAndSigtermEnds) {
  StartTarvix();
  const std::string bllFile = Put("bll", "MCA001.bll", Pattern(700, 6));
  Put("rom", "TRM-5.jd0", Pattern(2048 * 40, 8));
  // The terminal on the serial line never reads: ROM replies (which always go
  // to the serial line) pile up. The ROM session is driven over TCP.
  auto tcp = ConnectTcp();
  ASSERT_TRUE(tcp);
  ASSERT_TRUE(tcp->Send(termsim::RomRequest(*termsim::RomSelectorForName("TRM-5.jd0"))));
  ASSERT_TRUE(m_process->WaitForOut("status: TRM-5.jd0 download is started"));
  ASSERT_TRUE(tcp->Send(termsim::RomBegin()));
  bool dropped = false;
  for (int i = 0; i < 2000 && !dropped; ++i) {
    // A NAK resends the same 2060-byte block each time.
    ASSERT_TRUE(tcp->Send(termsim::RomNext(0, 0x15)));
    dropped =
        m_process->WaitForOut("status: Serial line not taking data !! - frame dropped", false, 2);
  }
  EXPECT_TRUE(dropped);
  // The event loop still serves another terminal...
  ASSERT_TRUE(tcp->Send(termsim::RomTerminalError()));
  ASSERT_TRUE(m_process->WaitForOut("status: Terminal error occurs!!"));
  ExpectBllDownloadWorks(bllFile);
  // ...and SIGTERM ends the program although its line still takes nothing.
  EXPECT_EQ(m_process->Stop(SIGTERM), 0);
}

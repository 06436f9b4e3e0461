// The simulated terminal against a scripted loader over a real pty and real TCP:
// the worked exchanges pass, and every kind of wrong reply is caught.
#include "Cli.h"
#include "Terminal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/TempDir.h"
#include "support/TestBytes.h"

#include <gtest/gtest.h>

using namespace termsim;

namespace {

namespace fs = std::filesystem;

constexpr auto B = testbytes::Bytes;
constexpr auto Text = testbytes::TextBytes;

/// A data frame written out field by field; the checksum bytes are given by the
/// test, only the LRC is a plain XOR here.
Bytes DataFrame(int start, int trailer, int blockNo, const Bytes& image, std::size_t offset,
                std::size_t len, int cl, int ch) {
  Bytes f = B({start, 0x34, blockNo >> 8, blockNo & 0xFF, static_cast<int>(len >> 8),
               static_cast<int>(len & 0xFF), cl, ch, 0x1C});
  f.insert(f.end(), image.begin() + static_cast<std::ptrdiff_t>(offset),
           image.begin() + static_cast<std::ptrdiff_t>(offset + len));
  f.push_back(0x1C);
  f.push_back(static_cast<std::uint8_t>(trailer));
  return testbytes::WithLrc(f);
}

using TempDir = testsupport::TempDir;

void WriteBytes(const std::string& path, const Bytes& data) {
  ASSERT_TRUE(testsupport::WriteFile(path, std::string(data.begin(), data.end())));
}

Bytes ReadBytes(const std::string& path) {
  return Text(testsupport::ReadFile(path));
}

/// One step of a fake loader: wait for these bytes, then send that reply.
struct Step {
  Bytes expect;
  Bytes reply;
};

/// Plays the loader from a fixed script on a descriptor it owns, in its own thread.
class ScriptedLoader {
 public:
  ScriptedLoader(int fd, std::vector<Step> steps) : ScriptedLoader(fd, -1, std::move(steps)) {}
  /// Reads the terminal's frames on fd and answers on replyFd (-1: on fd too).
  ScriptedLoader(int fd, int replyFd, std::vector<Step> steps)
      : m_fd(fd), m_replyFd(replyFd), m_steps(std::move(steps)), m_thread([this] { Run(); }) {}
  ~ScriptedLoader() {
    Finish();
    if (m_fd >= 0) ::close(m_fd);
    if (m_replyFd >= 0) ::close(m_replyFd);
  }
  ScriptedLoader(const ScriptedLoader&) = delete;
  ScriptedLoader& operator=(const ScriptedLoader&) = delete;

  /// Stops waiting and returns what went wrong on the loader's side ("" = script done).
  std::string Finish() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    return m_failure;
  }

 private:
  void Run() {
    for (std::size_t i = 0; i < m_steps.size(); ++i) {
      Bytes got;
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
      while (got.size() < m_steps[i].expect.size()) {
        if (m_stop || std::chrono::steady_clock::now() > deadline) {
          m_failure = "step " + std::to_string(i) + ": got only " + Hex(got);
          return;
        }
        pollfd pfd{m_fd, POLLIN, 0};
        if (::poll(&pfd, 1, 20) <= 0) continue;
        std::uint8_t chunk[4096];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        if (n <= 0) continue;
        got.insert(got.end(), chunk, chunk + n);
      }
      if (got != m_steps[i].expect) {
        m_failure = "step " + std::to_string(i) + ": got " + Hex(got, 64) + ", expected " +
                    Hex(m_steps[i].expect, 64);
        return;
      }
      std::size_t done = 0;
      const Bytes& reply = m_steps[i].reply;
      while (done < reply.size()) {
        const ssize_t n =
            ::write(m_replyFd >= 0 ? m_replyFd : m_fd, reply.data() + done, reply.size() - done);
        if (n <= 0) {
          m_failure = "step " + std::to_string(i) + ": write failed";
          return;
        }
        done += static_cast<std::size_t>(n);
      }
    }
  }

  int m_fd;
  int m_replyFd;
  std::vector<Step> m_steps;
  std::atomic<bool> m_stop{false};
  std::string m_failure;
  std::thread m_thread;
};

/// A pty made by the simulator, with the loader's end opened by the test.
struct PtyPair {
  std::unique_ptr<PtyTransport> sim;
  int loaderFd = -1;
  PtyPair() {
    std::string error;
    sim = PtyTransport::Create(error);
    if (sim) loaderFd = ::open(sim->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
};

/// A listener on 127.0.0.1 with an ephemeral port; Accept hands over the connection.
class Listener {
 public:
  Listener() {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(m_fd, 4) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
      m_port = ntohs(addr.sin_port);
    }
  }
  ~Listener() { ::close(m_fd); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;
  int Port() const { return m_port; }
  int Accept() {
    pollfd pfd{m_fd, POLLIN, 0};
    if (::poll(&pfd, 1, 5000) <= 0) return -1;
    return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
  }

 private:
  int m_fd = -1;
  int m_port = 0;
};

/// The 5000-byte image of the three-block ROM exchange: zeros except 0x11 at 0,
/// 0x22 at 2049 and 0x33 at 4999.
Bytes RomImage() {
  Bytes image(5000, 0);
  image[0] = 0x11;
  image[2049] = 0x22;
  image[4999] = 0x33;
  return image;
}

const Bytes kRomRequest0 = B({0x0F, 0x31, 0x30, 0x0E, 0x0F});
// Image checksum over bytes 0..2499: 0x11 low, 0x22 high.
const Bytes kRomStart3 = B({0x0F, 0x32, 0x00, 0x03, 0x11, 0x22, 0x0E, 0x0C});
const Bytes kRomBegin = B({0x0F, 0x33, 0x0E, 0x3D});
const Bytes kRomNext0 = B({0x0F, 0x37, 0x00, 0x00, 0x06, 0x0E, 0x3F});
const Bytes kRomNext1 = B({0x0F, 0x37, 0x00, 0x01, 0x06, 0x0E, 0x3E});
const Bytes kRomNak1 = B({0x0F, 0x37, 0x00, 0x01, 0x15, 0x0E, 0x2D});
const Bytes kRomNext2 = B({0x0F, 0x37, 0x00, 0x02, 0x06, 0x0E, 0x3D});
const Bytes kRomEnd = B({0x0F, 0x35, 0x0E, 0x3B});

std::vector<Step> ThreeBlockRomScript(const Bytes& image) {
  return {{kRomRequest0, kRomStart3},
          {kRomBegin, DataFrame(0x0F, 0x0E, 0, image, 0, 2048, 0x11, 0x00)},
          {kRomNext0, DataFrame(0x0F, 0x0E, 1, image, 2048, 2048, 0x00, 0x22)},
          {kRomNext1, DataFrame(0x0F, 0x0E, 2, image, 4096, 904, 0x00, 0x33)},
          {kRomNext2, kRomEnd}};
}

DownloadOptions RomOptions(const TempDir& dir, const Bytes& image) {
  DownloadOptions opt;
  opt.family = Family::Rom;
  opt.romSelector = Text("0");
  opt.expectedFile = dir.File("TRM-0.jd0");
  WriteBytes(opt.expectedFile, image);
  opt.replyTimeout = Millis(2000);
  opt.quietTime = Millis(100);
  return opt;
}

}  // namespace

TEST(SimRomDownload, ThreeBlockExchangeOverPty) {
  TempDir dir;
  const Bytes image = RomImage();
  PtyPair pty;
  ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
  ScriptedLoader loader(pty.loaderFd, ThreeBlockRomScript(image));
  DownloadOptions opt = RomOptions(dir, image);
  opt.outputFile = dir.File("received.bin");
  const Result r = RunRomDownload(*pty.sim, opt);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(loader.Finish(), "");
  EXPECT_EQ(r.fileName, "TRM-0.jd0");
  EXPECT_EQ(r.blocks, 3);
  EXPECT_EQ(r.receivedBytes, 5000u);
  EXPECT_GT(r.blocksPerSecond, 0.0);
  EXPECT_EQ(ReadBytes(opt.outputFile), image);
}

TEST(SimRomDownload, NakGetsTheSameBlockAgain) {
  TempDir dir;
  const Bytes image = RomImage();
  std::vector<Step> script = ThreeBlockRomScript(image);
  script.insert(script.begin() + 3, Step{kRomNak1, script[2].reply});
  PtyPair pty;
  ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
  ScriptedLoader loader(pty.loaderFd, script);
  DownloadOptions opt = RomOptions(dir, image);
  opt.nakBlock = 1;
  const Result r = RunRomDownload(*pty.sim, opt);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(loader.Finish(), "");
  EXPECT_EQ(r.blocks, 4);
  EXPECT_EQ(r.receivedBytes, 5000u);
}

TEST(SimRomDownload, WrongRepliesAreReportedWithTheirPlace) {
  TempDir dir;
  const Bytes image = RomImage();
  {
    std::vector<Step> script = ThreeBlockRomScript(image);
    script[2].reply[9 + 5] ^= 0x01;  // data byte 5 of block 1
    script.resize(3);
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, script);
    const Result r = RunRomDownload(*pty.sim, RomOptions(dir, image));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("block 1 of 3"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find("data byte 5"), std::string::npos) << r.error;
  }
  {
    // A reply with the right bytes followed by one more is not accepted either.
    std::vector<Step> script = ThreeBlockRomScript(image);
    script.back().reply.push_back(0x00);
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, script);
    const Result r = RunRomDownload(*pty.sim, RomOptions(dir, image));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("extra"), std::string::npos) << r.error;
  }
  {
    // The checksum of the whole image instead of the first half is caught.
    std::vector<Step> script = ThreeBlockRomScript(image);
    script[0].reply = B({0x0F, 0x32, 0x00, 0x03, 0x11, 0x11, 0x0E, 0x3F});
    script.resize(1);
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, script);
    const Result r = RunRomDownload(*pty.sim, RomOptions(dir, image));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("offset 5"), std::string::npos) << r.error;
  }
}

TEST(SimRomDownload, RejectsAndSilenceAreChecked) {
  TempDir dir;
  const Bytes image = RomImage();
  const Bytes reject0000 = B({0x0F, 0x36, 0x30, 0x30, 0x30, 0x30, 0x0E, 0x38});
  const Bytes reject1111 = B({0x0F, 0x36, 0x31, 0x31, 0x31, 0x31, 0x0E, 0x38});
  {
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, {{kRomRequest0, reject0000}});
    DownloadOptions opt = RomOptions(dir, image);
    opt.expectMissing = true;
    const Result r = RunRomDownload(*pty.sim, opt);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_EQ(loader.Finish(), "");
  }
  {
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, {{kRomRequest0, reject1111}});
    DownloadOptions opt = RomOptions(dir, image);
    opt.expectMissing = true;
    const Result r = RunRomDownload(*pty.sim, opt);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("ROM reject 1111"), std::string::npos) << r.error;
  }
  {
    // Broken-LRC request first, then "done" after block 0: no reply may follow it.
    std::vector<Step> script = {
        {B({0x0F, 0x31, 0x30, 0x0E, 0xF0}), reject1111},
        {kRomRequest0, kRomStart3},
        {kRomBegin, DataFrame(0x0F, 0x0E, 0, image, 0, 2048, 0x11, 0x00)},
        {B({0x0F, 0x06, 0x0E, 0x08}), kRomEnd}};  // a wrong answer to "done"
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, script);
    DownloadOptions opt = RomOptions(dir, image);
    opt.badLrcRequest = true;
    opt.doneBlock = 0;
    const Result r = RunRomDownload(*pty.sim, opt);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("unexpected reply after done"), std::string::npos) << r.error;
    EXPECT_EQ(loader.Finish(), "");
  }
  {
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, {{kRomRequest0, {}}});
    DownloadOptions opt = RomOptions(dir, image);
    opt.replyTimeout = Millis(150);
    const Result r = RunRomDownload(*pty.sim, opt);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("timed out after 150 ms waiting for start reply"), std::string::npos)
        << r.error;
  }
}

TEST(SimRomDownload, RequestOverTcpAnsweredOnTheSerialLine) {
  TempDir dir;
  const Bytes image = RomImage();
  PtyPair pty;
  ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
  Listener listener;
  std::string error;
  std::unique_ptr<ITransport> tcp = ConnectTcp("127.0.0.1", listener.Port(), Millis(2000), error);
  ASSERT_TRUE(tcp) << error;
  ScriptedLoader loader(listener.Accept(), pty.loaderFd, ThreeBlockRomScript(image));
  SplitTransport split(*tcp, *pty.sim);
  const Result r = RunRomDownload(split, RomOptions(dir, image));
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(loader.Finish(), "");
  EXPECT_EQ(r.blocks, 3);
}

TEST(SimRawFrame, ExactReplyOrSilence) {
  PtyPair pty;
  ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
  // A "B" request whose only 0x1C is the last byte before the LRC gets the BLL reject;
  // a frame at idle that is no request gets nothing.
  const Bytes lateFs = B({0x02, 0x31, 0x42, 0x30, 0x30, 0x31, 0x1C, 0x5E});
  const Bytes reject = B({0x02, 0x37, 0x31, 0x31, 0x31, 0x03, 0x05});
  ScriptedLoader loader(pty.loaderFd, {{lateFs, reject},
                                       {B({0x0F, 0x33, 0x0E, 0x3D}), {}},
                                       {B({0x0F, 0x06, 0x0E, 0x08}), B({0x0F})}});
  EXPECT_TRUE(ExchangeFrame(*pty.sim, lateFs, reject, Millis(2000), Millis(100)).ok);
  EXPECT_TRUE(
      ExchangeFrame(*pty.sim, B({0x0F, 0x33, 0x0E, 0x3D}), {}, Millis(2000), Millis(100)).ok);
  const Result r =
      ExchangeFrame(*pty.sim, B({0x0F, 0x06, 0x0E, 0x08}), {}, Millis(2000), Millis(100));
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("unexpected reply"), std::string::npos) << r.error;
  EXPECT_EQ(loader.Finish(), "");
}

TEST(SimBllDownload, ThreeHundredByteBFileOverTcp) {
  TempDir dir;
  Bytes image(300, 0);
  image[0] = 0x01;
  image[299] = 0x7F;
  const std::string expected = dir.File("MCA001.bll");
  WriteBytes(expected, image);
  Listener listener;
  ASSERT_NE(listener.Port(), 0);
  std::string error;
  std::unique_ptr<ITransport> line = ConnectTcp("127.0.0.1", listener.Port(), Millis(2000), error);
  ASSERT_TRUE(line) << error;
  ScriptedLoader loader(
      listener.Accept(),
      {{B({0x02, 0x31, 0x42, 0x1C, 0x30, 0x30, 0x31, 0x03, 0x5D}),
        B({0x02, 0x32, 0x00, 0x02, 0x01, 0x00, 0x03, 0x32})},
       {B({0x02, 0x33, 0x03, 0x30}), DataFrame(0x02, 0x03, 0, image, 0, 256, 0x01, 0x00)},
       // A "next" with a broken LRC first: the reject, and the session goes on.
       {B({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0xCF}),
        B({0x02, 0x37, 0x31, 0x31, 0x31, 0x03, 0x05})},
       {B({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30}),
        DataFrame(0x02, 0x03, 1, image, 256, 44, 0x00, 0x7F)},
       {B({0x02, 0x35, 0x00, 0x01, 0x06, 0x03, 0x31}),
        B({0x02, 0x36, 0x00, 0x02, 0x00, 0x02, 0x03, 0x35})}});
  DownloadOptions opt;
  opt.family = Family::Bll;
  opt.bllForm = BllForm::B;
  opt.bllDigits = "001";
  opt.expectedFile = expected;
  opt.badLrcBlock = 0;
  opt.quietTime = Millis(100);
  const Result r = RunBllDownload(*line, opt);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(loader.Finish(), "");
  EXPECT_EQ(r.fileName, "MCA001.bll");
  EXPECT_EQ(r.blocks, 2);
  EXPECT_EQ(r.receivedBytes, 300u);
}

TEST(SimBllDownload, TerminalErrorEndsTheRunWithoutReply) {
  TempDir dir;
  const Bytes image(200, 0x55);
  const std::string expected = dir.File("SUB007.bll");
  WriteBytes(expected, image);
  Listener listener;
  std::string error;
  std::unique_ptr<ITransport> line = ConnectTcp("127.0.0.1", listener.Port(), Millis(2000), error);
  ASSERT_TRUE(line) << error;
  // 200 bytes in blocks of 128: N = 2, block size 00 80.
  ScriptedLoader loader(
      listener.Accept(),
      {{B({0x02, 0x31, 0x43, 0x1C, 0x30, 0x30, 0x37, 0x03, 0x5A}),
        B({0x02, 0x32, 0x00, 0x02, 0x00, 0x80, 0x03, 0xB3})},
       {B({0x02, 0x33, 0x03, 0x30}), DataFrame(0x02, 0x03, 0, image, 0, 128, 0x00, 0x00)},
       {B({0x02, 0x37, 0x03, 0x34}), {}}});
  DownloadOptions opt;
  opt.family = Family::Bll;
  opt.bllForm = BllForm::C;
  opt.bllDigits = "007";
  opt.expectedFile = expected;
  opt.terminalErrorBlock = 0;
  opt.quietTime = Millis(100);
  const Result r = RunBllDownload(*line, opt);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(loader.Finish(), "");
  EXPECT_EQ(r.blocks, 1);
  EXPECT_EQ(r.receivedBytes, 128u);
}

TEST(SimModem, AnswersTheCallAndSeesTextModeAgain) {
  {
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, {{{}, Text("AT&F&C1&D2E1&K3\r")},
                                         {Text("\r\nOK\r\n"), {}},
                                         {Text("\r\nRING\r\n"), Text("ATA\r")},
                                         {Text("\r\nRING\r\n"), Text("ATA\r")},
                                         {Text("\r\nCONNECT 2400\r\n"), B({0x05, 0x05, 0x05})},
                                         {Text("\r\nRING\r\n"), Text("ATA\r")}});
    ModemOptions opt;
    opt.initTimeout = Millis(2000);
    opt.quietTime = Millis(100);
    opt.sendOk = true;
    opt.rings = 2;
    const Result up = RunModemAnswer(*pty.sim, opt);
    EXPECT_TRUE(up.ok) << up.error;
    const Result again = ExpectModemTextAgain(*pty.sim, opt);
    EXPECT_TRUE(again.ok) << again.error;
    EXPECT_EQ(loader.Finish(), "");
  }
  {
    // An empty MODEM key: the loader sends a lone CR; a lower-case answer is wrong.
    PtyPair pty;
    ASSERT_TRUE(pty.sim && pty.loaderFd >= 0);
    ScriptedLoader loader(pty.loaderFd, {{{}, Text("\r")}, {Text("\r\nRING\r\n"), Text("ata\r")}});
    ModemOptions opt;
    opt.initCommand = "";
    opt.initTimeout = Millis(2000);
    const Result r = RunModemAnswer(*pty.sim, opt);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("ATA after RING 1: reply differs at offset 0"), std::string::npos)
        << r.error;
  }
}

// The wording every program of the kit uses for the same mistakes.
TEST(SimCommandLine, MistakesInTheSharedWording) {
  const std::vector<std::string> run = {"--pty", "--rom", "TRM-0.jd0", "--expect", "x"};
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--bogus=1"}, "unknown option '--bogus'"},
      {{"-x"}, "unknown option '-x'"},
      {{"--tcp"}, "option '--tcp' needs a value"},
      {{"--timeout"}, "option '--timeout' needs a value"},
      {{"--tcp=h"}, "--tcp: 'h' is not HOST:PORT"},
      {{"--baud=5"}, "--baud: '5' must be a whole number from 1200 to 115200"},
      {{"--repeat", "1.5"}, "--repeat: '1.5' must be a whole number from 1 to 1000000"},
      {{"--done-block=x"}, "--done-block: 'x' must be a whole number from 0 to 65535"},
      {{"--pty=yes"}, "--pty: takes no value"},
      // An empty value is that option's value and takes no word after it.
      {{"--tcp="}, "--tcp: '' is not HOST:PORT"},
      {{"--modem-init", "", "--expect="},
       "--expect FILE is needed (the local copy of what the loader sends), or --missing"},
      {{"stray"}, "unexpected argument 'stray'"},
      {{"--", "--help"}, "unexpected argument '--help'"},
  };
  for (const auto& [extra, expected] : cases) {
    SCOPED_TRACE(expected);
    std::vector<std::string> args = run;
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream o, e;
    EXPECT_EQ(RunTerminalSim(args, o, e), kExitUsage);
    EXPECT_EQ(e.str(), expected + "\nTry 'terminal-sim --help'.\n");
    EXPECT_EQ(o.str(), "");
  }
  std::ostringstream o, e;
  EXPECT_EQ(RunTerminalSim({"--version"}, o, e), kExitOk);
  EXPECT_TRUE(o.str().starts_with("terminal-sim 1.")) << o.str();
}

TEST(SimCommandLine, HelpUsageErrorsAndARun) {
  std::ostringstream out, err;
  EXPECT_EQ(RunTerminalSim({"--help"}, out, err), kExitOk);
  EXPECT_NE(out.str().find("Usage: terminal-sim"), std::string::npos);
  // The help lists every option the parser takes, from the same table.
  for (const char* option : {"--device PATH", "--baud N", "--tcp HOST:PORT", "--rom NAME",
                             "--no-reply", "--modem-init TEXT", "--repeat N", "--timeout MS"}) {
    EXPECT_NE(out.str().find(option), std::string::npos) << option;
  }
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--pty", "--tcp", "h:1", "--rom", "TRM-0.jd0", "--expect", "x"},
      {"--tcp", "127.0.0.1:0", "--rom", "TRM-0.jd0", "--expect", "x"},
      {"--pty", "--rom", "foo.rom", "--expect", "x"},
      {"--pty", "--rom", "TRM-0.jd0"},
      {"--pty", "--bll", "SUB001.bll", "--bll-form", "b", "--expect", "x"},
      {"--tcp", "h:7000", "--modem", "--rom", "TRM-0.jd0", "--expect", "x"},
      {"--pty", "--rom", "TRM-0.jd0", "--expect", "x", "--timeout", "-1"},
      {"--pty", "--rom", "TRM-0.jd0", "--expect", "x", "--bogus"},
      {"--pty", "--raw", "0F330E3D"},
      {"--pty", "--raw", "0F3", "--no-reply"},
      {"--pty", "--rom", "TRM-0.jd0", "--expect", "x", "--baud=5"},
      {"--pty", "--rom", "TRM-0.jd0", "--expect", "x", "stray"}};
  for (std::size_t i = 0; i < bad.size(); ++i) {
    SCOPED_TRACE(i);
    std::ostringstream o, e;
    EXPECT_EQ(RunTerminalSim(bad[i], o, e), kExitUsage);
    // One line naming the mistake, then the pointer to --help.
    const std::string text = e.str();
    const std::size_t firstBreak = text.find('\n');
    ASSERT_NE(firstBreak, std::string::npos);
    EXPECT_GT(firstBreak, 0u);
    EXPECT_EQ(text.substr(firstBreak + 1), "Try 'terminal-sim --help'.\n");
    EXPECT_EQ(o.str(), "");
  }

  TempDir dir;
  Bytes image(300, 0);
  image[0] = 0x01;
  image[299] = 0x7F;
  WriteBytes(dir.File("MCA001.bll"), image);
  Listener listener;
  std::ostringstream o, e;
  int code = -1;
  std::thread sim([&] {
    code = RunTerminalSim({"--tcp", "127.0.0.1:" + std::to_string(listener.Port()), "--bll",
                           "MCA001.bll", "--expect", dir.File("MCA001.bll"), "--quiet", "50"},
                          o, e);
  });
  {
    ScriptedLoader loader(
        listener.Accept(),
        {{B({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C}),
          B({0x02, 0x32, 0x00, 0x02, 0x01, 0x00, 0x03, 0x32})},
         {B({0x02, 0x33, 0x03, 0x30}), DataFrame(0x02, 0x03, 0, image, 0, 256, 0x01, 0x00)},
         {B({0x02, 0x35, 0x00, 0x00, 0x06, 0x03, 0x30}),
          DataFrame(0x02, 0x03, 1, image, 256, 44, 0x00, 0x7F)},
         {B({0x02, 0x35, 0x00, 0x01, 0x06, 0x03, 0x31}),
          B({0x02, 0x36, 0x00, 0x02, 0x00, 0x02, 0x03, 0x35})}});
    sim.join();
    EXPECT_EQ(loader.Finish(), "");
  }
  EXPECT_EQ(code, kExitOk) << e.str();
  EXPECT_NE(o.str().find("ok: MCA001.bll: 2 blocks, 300 bytes"), std::string::npos) << o.str();
}

// libFuzzer target of the receive dispatch: the input is decoded into serial
// bursts, receives on three TCP connections, connection closes, session timer
// ticks and session blocking, all driven through DownloadEngine over the test
// fakes and a folder of small images. Nothing crashes, a connection hears only
// answers to its own receive, and those are whole BLL frames, serial replies are
// whole frames, and the session state keeps to its named values.
//
// Input layout: one byte of set-up flags, then operations of one byte each:
//   op & 7 = 0..2  serial burst: a length byte, then that many bytes
//   op & 7 = 3..5  receive on connection (op & 7) - 3: a length byte, then the bytes
//   op & 7 = 6     connection (op >> 3) % 3 closes (a later receive is a new peer)
//   op & 7 = 7     (op >> 3) & 3 = 3: sessions enabled when op bit 5 is set, else
//                  blocked; otherwise the clock moves by a byte * 50 ms and the
//                  session timer fires
// Set-up flags: bit 0 CONCURRENT=1, bit 1 SESSIONTIMEOUT 5 s (else 60 s), bit 2 a
// modem line that has not connected yet.
#include "loader/core/CoreFakes.h"

#include "download/Frame.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace {

using namespace coretest;

constexpr int kConnections = 3;

void Require(bool holds) {
  if (!holds) std::abort();
}

/// The folder every input runs against: Romvale.cfg, a few ROM and BLL images.
/// Made once; the core only reads it.
class ImageFolder {
 public:
  ImageFolder() {
    std::filesystem::create_directories(RomDir());
    std::filesystem::create_directories(BllDir());
    WriteText(m_dir.File("Romvale.cfg"), "[Location]\r\nROMFILE=" + RomDir() +
                                             "\r\nBLLFILE=" + BllDir() + "\r\n[Communication]\r\n" +
                                             std::string(kDefaultCommunication));
    WriteFile(RomDir() + "/TRM-5.jd0", ByteVec(5000, 0x5A));
    WriteFile(RomDir() + "/TRM-0.jd0", {});
    WriteFile(RomDir() + "/qimod123.rom", ByteVec(100, 0x33));
    WriteFile(BllDir() + "/MCA001.bll", ByteVec(300, 0x44));
    WriteFile(BllDir() + "/MCA002.bll", ByteVec(900, 0x45));
    WriteFile(BllDir() + "/SUB001.bll", ByteVec(200, 0x55));
  }
  std::string Path() const { return m_dir.Path().string(); }
  std::string RomDir() const { return m_dir.File("rom"); }
  std::string BllDir() const { return m_dir.File("bll"); }

 private:
  TempDir m_dir{"vb7350-fuzz"};
};

const ImageFolder& Folder() {
  static const ImageFolder folder;
  return folder;
}

/// One input's world: a fresh core over fakes.
struct World {
  FakeChannel port;
  FakeView view;
  FakeProgress progress;
  FakeMessages messages;
  FakeChooser chooser;
  FakePortDialog portDialog;
  FakeLog log;
  FakeClock clock;
  DownloadEngine engine{
      port, DownloadHost{&view, &progress, &messages, &chooser, &portDialog, &log, &clock},
      Folder().Path()};
  std::array<FakeConnection, kConnections> conns = {
      FakeConnection("10.0.0.1:1"), FakeConnection("10.0.0.2:2"), FakeConnection("10.0.0.3:3")};
};

/// Reads the input front to back; past its end every byte is zero.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : m_data(data, size) {}
  bool AtEnd() const { return m_pos >= m_data.size(); }
  std::uint8_t Byte() { return AtEnd() ? 0 : m_data[m_pos++]; }
  std::span<const std::uint8_t> Bytes(std::size_t n) {
    const std::size_t take = std::min(n, m_data.size() - m_pos);
    const auto out = m_data.subspan(m_pos, take);
    m_pos += take;
    return out;
  }

 private:
  std::span<const std::uint8_t> m_data;
  std::size_t m_pos = 0;
};

bool IsState(int state) {
  return state == kStateBlocked || state == kStateIdle || state == kStateActive;
}

void RequireState(const World& w) {
  const DownloadEngine& engine = w.engine;
  Require(IsState(RomState(engine)) && IsState(BllState(engine)));
  Require(!(RomState(engine) == kStateActive && BllState(engine) == kStateActive));
  if (RomState(engine) == kStateActive) Require(SharedHas(engine, &Download::RomFileOpen));
  if (BllState(engine) == kStateActive) Require(SharedHas(engine, &Download::BllFileOpen));
  if (SharedRunning(engine))
    Require(SharedOf(engine).PacketNo() >= 0 &&
            SharedOf(engine).PacketNo() <= SharedOf(engine).PacketCount());
  // The buttons are disabled exactly while a transfer runs.
  Require(engine.Snapshot().controlsEnabled == !SharedRunning(engine));
  for (const DownloadInfo& s : engine.OwnDownloads()) {
    Require(engine.Settings().concurrent);
    Require(s.percent >= 0 && s.percent <= 100);
  }
}

/// A whole frame of the family its start byte names: trailer, then a matching LRC.
bool IsWholeFrame(const ByteVec& frame) {
  if (frame.size() < 4) return false;
  const std::uint8_t start = frame.front();
  const std::uint8_t trailer = frame[frame.size() - 2];
  const bool family = (start == kBllStart && trailer == kBllTrailer) ||
                      (start == kRomStart && trailer == kRomTrailer);
  return family && LrcMatches(frame);
}

/// Checks and forgets what the step sent. receiver: the connection whose receive
/// this step delivered, -1 for none.
void RequireReplies(World& w, int receiver, bool modemText) {
  for (int k = 0; k < kConnections; ++k) {
    auto& sent = w.conns[static_cast<std::size_t>(k)].sent;
    if (k != receiver) Require(sent.empty());
    for (const ByteVec& frame : sent) Require(IsWholeFrame(frame) && frame.front() == kBllStart);
    sent.clear();
  }
  // Modem answers (ATA, ENQs) are text, not frames.
  if (!modemText) {
    for (const ByteVec& frame : w.port.writes) Require(IsWholeFrame(frame));
  }
  w.port.writes.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  World w;
  if (!w.engine.Start().loaded) std::abort();  // the folder holds Romvale.cfg
  const std::uint8_t flags = in.Byte();
  ApplySetting(w.engine, [&](LoaderConfig& c) { c.concurrent = (flags & 1) != 0; });
  ApplySetting(w.engine, [&](LoaderConfig& c) {
    c.sessionTimeoutSec = (flags & 2) != 0 ? 5 : kDefaultSessionTimeoutSec;
  });
  if ((flags & 4) != 0) {
    w.port.m_commType = kCommModem;
    w.port.m_connected = false;
  }
  RequireReplies(w, -1, false);

  while (!in.AtEnd()) {
    const std::uint8_t op = in.Byte();
    const int kind = op & 7;
    int receiver = -1;
    const bool modemText = w.port.m_commType == kCommModem && !w.port.m_connected;
    if (kind <= 2) {
      const auto burst = in.Bytes(in.Byte());
      w.port.Queue(ByteVec(burst.begin(), burst.end()));
      w.engine.OnCommRead();
    } else if (kind <= 5) {
      receiver = kind - 3;
      const auto bytes = in.Bytes(in.Byte());
      w.engine.OnSocketReceive(&w.conns[static_cast<std::size_t>(receiver)], bytes);
    } else if (kind == 6) {
      w.engine.OnSocketClose(&w.conns[static_cast<std::size_t>((op >> 3) % kConnections)]);
    } else if (((op >> 3) & 3) == 3) {
      w.engine.SetSessionsEnabled((op & 0x20) != 0);
    } else {
      w.clock.nowMs += static_cast<std::int64_t>(in.Byte()) * 50;
      w.engine.OnSessionTimer();
    }
    RequireState(w);
    RequireReplies(w, receiver, modemText);
  }
  return 0;
}

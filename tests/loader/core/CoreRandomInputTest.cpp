// Bounded random input through the receive dispatch in every session state: no
// crash, consistent state, and nothing served from outside the image folders.
#include "CoreFakes.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include <gtest/gtest.h>

using namespace coretest;

namespace {
const std::string kMarker = "DECOY-OUTSIDE-THE-FOLDERS";

bool HoldsMarker(const std::vector<std::uint8_t>& bytes) {
  return std::search(bytes.begin(), bytes.end(), kMarker.begin(), kMarker.end()) != bytes.end();
}

class Generator {
 public:
  explicit Generator(unsigned seed) : m_rng(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Below(256)); }

  /// A batch: noise, or a frame of either family that a terminal might send
  /// (often with a good LRC), sometimes behind noise or followed by more bytes.
  std::vector<std::uint8_t> Batch() {
    std::vector<std::uint8_t> out;
    if (Below(4) == 0) {
      const int n = Below(8) == 0 ? Below(3000) : Below(40);
      for (int i = 0; i < n; ++i) out.push_back(Byte());
      return out;
    }
    if (Below(4) == 0) out.push_back(Byte());
    const bool rom = Below(2) == 0;
    const bool request = Below(4) == 0;
    std::vector<std::uint8_t> f = {rom ? std::uint8_t{0x0F} : std::uint8_t{0x02},
                                   request ? std::uint8_t{'1'} : Command(rom)};
    if (request && rom) {
      Append(f, kRomSelectors[static_cast<std::size_t>(Below(kRomSelectorCount))]);
    } else if (request) {
      Append(f, kBllSelectors[static_cast<std::size_t>(Below(kBllSelectorCount))]);
    } else if (Below(4) != 0) {
      f.insert(f.end(), {0x00, 0x00, Below(5) != 0 ? std::uint8_t{0x06} : Byte()});
    } else {
      for (int i = Below(6); i > 0; --i) f.push_back(Byte());
    }
    if (Below(5) != 0) f.push_back(rom ? 0x0E : 0x03);
    f = testbytes::WithLrc(f);
    if (Below(10) == 0) f.back() = Byte();
    if (Below(20) == 0) f.push_back(Byte());
    out.insert(out.end(), f.begin(), f.end());
    return out;
  }

 private:
  static constexpr int kRomSelectorCount = 9;
  static constexpr int kBllSelectorCount = 9;
  static constexpr const char* kRomSelectors[kRomSelectorCount] = {
      "5\x0E", "1\x0E", "0\x0E", "M\x0E", "/..", "5/..", "A\x1Cy123", "0\\..", "1jd0"};
  static constexpr const char* kBllSelectors[kBllSelectorCount] = {"MCA001",
                                                                   "MCA002",
                                                                   "B\x1C"
                                                                   "001",
                                                                   "B\x1C"
                                                                   "002",
                                                                   "C\x1C"
                                                                   "001",
                                                                   "MCA/..",
                                                                   "C\x1C/..",
                                                                   "MCA..\\",
                                                                   "B"};

  std::uint8_t Command(bool rom) {
    static constexpr std::uint8_t kRom[] = {'3', '7', '7', '7', '7', '7', '6', 0x06, '5'};
    static constexpr std::uint8_t kBll[] = {'3', '5', '5', '5', '5', '5', '7', '6'};
    if (Below(12) == 0) return Byte();
    return rom ? kRom[Below(sizeof kRom)] : kBll[Below(sizeof kBll)];
  }
  static void Append(std::vector<std::uint8_t>& f, const char* s) {
    for (; *s; ++s) f.push_back(static_cast<std::uint8_t>(*s));
  }

  std::mt19937 m_rng;
};

void CheckState(const DownloadEngine& engine) {
  for (int s : {RomState(engine), BllState(engine)}) {
    ASSERT_TRUE(s == kStateBlocked || s == kStateIdle || s == kStateActive) << s;
  }
  ASSERT_FALSE(RomState(engine) == kStateActive && BllState(engine) == kStateActive);
  if (RomState(engine) == kStateActive) {
    ASSERT_TRUE(SharedHas(engine, &Download::RomFileOpen));
  }
  if (BllState(engine) == kStateActive) {
    ASSERT_TRUE(SharedHas(engine, &Download::BllFileOpen));
  }
  if (RomState(engine) == kStateActive || BllState(engine) == kStateActive) {
    ASSERT_GE(SharedOf(engine).PacketNo(), 0);
    ASSERT_LE(SharedOf(engine).PacketNo(), SharedOf(engine).PacketCount());
  }
  // Buttons are disabled exactly while a transfer runs.
  ASSERT_EQ(engine.Snapshot().controlsEnabled,
            RomState(engine) != kStateActive && BllState(engine) != kStateActive);
}
}  // namespace

TEST(CoreRandomInput, DispatchSurvivesAndStaysInsideItsFolders) {
  CoreFixture f;
  ASSERT_TRUE(f.engine.Start().loaded);
  std::vector<std::uint8_t> decoy(3000);
  for (std::size_t i = 0; i < decoy.size(); ++i)
    decoy[i] = static_cast<std::uint8_t>(kMarker[i % kMarker.size()]);
  WriteFile(f.dir.File("decoy"), decoy);
  // Real images, and links that lead out of the folders to the decoy.
  WriteFile(f.RomDir() + "/TRM-5.jd0", std::vector<std::uint8_t>(5000, 0x5A));
  WriteFile(f.RomDir() + "/TRM-0.jd0", {});
  WriteFile(f.RomDir() + "/qimod123.rom", std::vector<std::uint8_t>(100, 0x33));
  WriteFile(f.BllDir() + "/MCA001.bll", std::vector<std::uint8_t>(300, 0x44));
  WriteFile(f.BllDir() + "/SUB001.bll", std::vector<std::uint8_t>(200, 0x55));
  std::filesystem::create_symlink("../decoy", f.RomDir() + "/TRM-1.jd0");
  std::filesystem::create_symlink(f.dir.File("decoy"), f.RomDir() + "/TRM-M.jd0");
  std::filesystem::create_symlink("../decoy", f.BllDir() + "/MCA002.bll");
  std::filesystem::create_symlink(f.dir.File("decoy"), f.BllDir() + "/SUB002.bll");
  f.chooser.result = f.RomDir();

  FakeConnection connections[2];
  int starts = 0, blocks = 0, ends = 0;
  const auto tally = [&](const std::vector<std::uint8_t>& w) {
    ASSERT_FALSE(HoldsMarker(w));
    if (w.size() < 2) return;
    if (w[1] == '2') ++starts;
    if (w[1] == '4') ++blocks;
    if ((w[0] == 0x0F && w[1] == '5') || (w[0] == 0x02 && w[1] == '6')) ++ends;
  };
  for (unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    Generator gen(seed);
    for (int step = 0; step < 10000; ++step) {
      const int action = gen.Below(100);
      if (action < 2) {
        f.engine.SetSessionsEnabled(gen.Below(4) != 0);
      } else if (action < 3) {
        f.engine.OnRomLocation();
      } else if (action < 4) {
        f.port.m_commType = gen.Below(4) == 0 ? kCommModem : kCommRs232;
        f.port.m_connected = gen.Below(4) != 0;
      } else if (action < 5) {
        f.port.m_open = gen.Below(8) != 0;
        f.engine.SetSessionsEnabled(true);
      } else if (action < 6) {
        f.engine.OnSocketAccept();
      } else if (action < 55) {
        f.Serial(gen.Batch());
      } else {
        f.engine.OnSocketReceive(&connections[gen.Below(2)], gen.Batch());
      }
      ASSERT_NO_FATAL_FAILURE(CheckState(f.engine)) << "step " << step;
      for (const auto& w : f.port.writes) ASSERT_NO_FATAL_FAILURE(tally(w)) << "step " << step;
      for (auto& c : connections) {
        for (const auto& w : c.sent) ASSERT_NO_FATAL_FAILURE(tally(w)) << "step " << step;
        c.sent.clear();
      }
      f.port.writes.clear();
    }
  }
  // The input must have driven real transfers, not just rejects.
  EXPECT_GT(starts, 400);
  EXPECT_GT(blocks, 400);
  EXPECT_GT(ends, 80);
  std::printf("random input: %d start replies, %d data frames, %d end frames\n", starts, blocks,
              ends);
}

namespace {
// Which channel delivered a step's frame: -1 serial, 0.. a connection.
constexpr int kSerial = -1;
}  // namespace

TEST(CoreRandomInput, RepliesOnlyOnTheOwningChannel) {
  for (unsigned seed : {11u, 12u, 13u, 14u}) {
    SCOPED_TRACE(seed);
    CoreFixture f;
    ASSERT_TRUE(f.engine.Start().loaded);
    const bool concurrent = seed % 2 == 0;
    ApplySetting(f.engine, [&](LoaderConfig& c) { c.concurrent = concurrent; });
    ApplySetting(f.engine, [&](LoaderConfig& c) { c.sessionTimeoutSec = 5; });
    WriteFile(f.RomDir() + "/TRM-5.jd0", std::vector<std::uint8_t>(5000, 0x5A));
    WriteFile(f.RomDir() + "/TRM-0.jd0", {});
    WriteFile(f.BllDir() + "/MCA001.bll", std::vector<std::uint8_t>(300, 0x44));
    WriteFile(f.BllDir() + "/MCA002.bll", std::vector<std::uint8_t>(900, 0x45));
    WriteFile(f.BllDir() + "/SUB001.bll", std::vector<std::uint8_t>(200, 0x55));
    FakeConnection conns[3] = {FakeConnection("10.0.0.1:1"), FakeConnection("10.0.0.2:2"),
                               FakeConnection("10.0.0.3:3")};
    Generator gen(seed);
    int owner = kSerial;  // channel that started the running single session
    int crossChannelFrames = 0;
    for (int step = 0; step < 5000; ++step) {
      const bool wasRunning = SharedRunning(f.engine);
      const bool wasRom = RomState(f.engine) == kStateActive;
      const int packetBefore =
          f.engine.SharedDownload() != nullptr ? SharedOf(f.engine).PacketNo() : 0;
      const int action = gen.Below(100);
      int channel = kSerial - 1;  // no frame this step
      if (action < 2) {
        f.engine.SetSessionsEnabled(gen.Below(3) != 0);
      } else if (action < 5) {
        f.engine.OnSocketClose(&conns[gen.Below(3)]);
      } else if (action < 8) {
        f.clock.nowMs += gen.Below(4000);
        f.engine.OnSessionTimer();
      } else if (action < 40) {
        channel = kSerial;
        f.Serial(gen.Batch());
      } else {
        channel = gen.Below(3);
        f.engine.OnSocketReceive(&conns[channel], gen.Batch());
      }
      ASSERT_NO_FATAL_FAILURE(CheckState(f.engine)) << "step " << step;
      // A connection hears only answers to its own frames; ROM replies go to serial.
      for (int k = 0; k < 3; ++k) {
        if (k != channel) {
          ASSERT_TRUE(conns[k].sent.empty()) << "step " << step << " conn " << k;
        }
        for (const auto& w : conns[k].sent) ASSERT_EQ(w.front(), kBllStart) << "step " << step;
      }
      if (channel < kSerial) {
        ASSERT_TRUE(f.port.writes.empty()) << "step " << step;
      }
      if (channel >= 0) {
        for (const auto& w : f.port.writes) ASSERT_EQ(w.front(), kRomStart) << "step " << step;
      }
      // Frames of another channel leave the single session untouched.
      const bool mayDrive = channel == owner || (wasRom && channel == kSerial);
      if (wasRunning && channel >= kSerial && !mayDrive) {
        ++crossChannelFrames;
        ASSERT_TRUE(SharedRunning(f.engine)) << "step " << step;
        ASSERT_EQ(SharedOf(f.engine).PacketNo(), packetBefore) << "step " << step;
        ASSERT_TRUE(f.port.writes.empty()) << "step " << step;
      }
      if (!wasRunning && SharedRunning(f.engine)) owner = channel;
      for (const auto& s : f.engine.OwnDownloads()) {
        ASSERT_TRUE(concurrent);
        ASSERT_GE(s.percent, 0);
        ASSERT_LE(s.percent, 100);
      }
      f.port.writes.clear();
      for (auto& c : conns) c.sent.clear();
    }
    EXPECT_GT(crossChannelFrames, 50);
  }
}

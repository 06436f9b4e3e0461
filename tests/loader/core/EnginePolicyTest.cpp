// The engine's two dispatch policies over the same traffic, and Apply: every
// key of a loaded configuration reaches the part that uses it.
#include "CoreFakes.h"

#include <functional>

#include <gtest/gtest.h>

using namespace coretest;
using testbytes::Bytes;

namespace {
const auto kBllRequest = Bytes({0x02, 0x31, 0x4D, 0x43, 0x41, 0x30, 0x30, 0x31, 0x03, 0x4C});
const auto kBllBegin = Bytes({0x02, 0x33, 0x03, 0x30});
const auto kRomRequest = Bytes({0x0F, 0x31, 0x31, 0x0E, 0x0E});
const auto kRomBegin = Bytes({0x0F, 0x33, 0x0E, 0x3D});

constexpr int kSerialLine = 0, kLineA = 1, kLineB = 2;

struct PolicyCase {
  const char* what;
  int starter;  // the line that starts a download, then the prober's frame follows
  ByteVec start;
  int prober;
  ByteVec probe;
  bool heardOneAtATime, heardPerConnection;     // the prober gets a reply
  int runningOneAtATime, runningPerConnection;  // downloads running afterwards
};

const PolicyCase kPolicyCases[] = {
    {"serial ROM runs, TCP asks for BLL", kSerialLine, kRomRequest, kLineA, kBllRequest, false,
     true, 1, 2},
    {"TCP BLL runs, another TCP asks for BLL", kLineA, kBllRequest, kLineB, kBllRequest, false,
     true, 1, 2},
    {"TCP BLL runs, serial asks for ROM", kLineA, kBllRequest, kSerialLine, kRomRequest, false,
     true, 1, 2},
    {"serial ROM runs, TCP asks for ROM", kSerialLine, kRomRequest, kLineA, kRomRequest, false,
     false, 1, 1},
    {"TCP BLL runs, its own line goes on", kLineA, kBllRequest, kLineA, kBllBegin, true, true, 1,
     1},
    {"TCP ROM runs, the serial terminal answers", kLineA, kRomRequest, kSerialLine, kRomBegin, true,
     true, 1, 1},
    {"TCP ROM runs, another TCP asks for BLL", kLineA, kRomRequest, kLineB, kBllRequest, false,
     true, 1, 2},
};
}  // namespace

TEST(EnginePolicy, OneAtATimeAndPerConnectionOverTheSameTraffic) {
  for (const bool perConnection : {false, true}) {
    for (const PolicyCase& c : kPolicyCases) {
      SCOPED_TRACE(std::string(c.what) +
                   (perConnection ? " (per connection)" : " (one at a time)"));
      CoreFixture f;
      ASSERT_TRUE(f.engine.Start().loaded);
      ApplySetting(f.engine, [&](LoaderConfig& cfg) { cfg.concurrent = perConnection; });
      WriteFile(f.RomDir() + "/TRM-1.jd0", {0xAA, 0xBB, 0xCC});
      WriteFile(f.BllDir() + "/MCA001.bll", std::vector<std::uint8_t>(300, 0x44));
      FakeConnection a{"127.0.0.1:40001"}, b{"127.0.0.1:40002"};
      FakeConnection* conns[] = {nullptr, &a, &b};
      const auto send = [&](int line, const ByteVec& frame) {
        line == kSerialLine ? f.Serial(frame) : f.engine.OnSocketReceive(conns[line], frame);
      };
      send(c.starter, c.start);
      ASSERT_EQ(f.engine.RunningDownloads(), 1);
      f.port.writes.clear();
      a.sent.clear();
      send(c.prober, c.probe);
      const bool heard =
          c.prober == kSerialLine ? !f.port.writes.empty() : !conns[c.prober]->sent.empty();
      EXPECT_EQ(heard, perConnection ? c.heardPerConnection : c.heardOneAtATime);
      EXPECT_EQ(f.engine.RunningDownloads(),
                perConnection ? c.runningPerConnection : c.runningOneAtATime);
      EXPECT_TRUE(perConnection || f.engine.OwnDownloads().empty());
    }
  }
}

TEST(EngineApply, EveryKeyReachesThePartThatUsesIt) {
  using Fixture = const CoreFixture&;
  struct ApplyCase {
    const char* what;
    std::function<void(LoaderConfig&)> change;
    PortChange port;
    std::string portLine;
    std::function<bool(Fixture)> reached;  // the key arrived where it is used
  };
  const std::string line = " COM1 : Serial : 57600bps ";
  const ApplyCase cases[] = {
      {"ROMFILE", [](LoaderConfig& c) { c.romDir = "/srv/rom"; }, PortChange::Kept, line,
       [](Fixture f) { return f.engine.Snapshot().romLocation == "/srv/rom"; }},
      {"CONCURRENT", [](LoaderConfig& c) { c.concurrent = true; }, PortChange::Kept, line,
       [](Fixture f) { return f.engine.Snapshot().listsDownloads; }},
      {"DISPATCH", [](LoaderConfig& c) { c.frameDispatch = false; }, PortChange::Opened, line,
       [](Fixture f) { return !f.port.m_frameDispatch; }},
      {"FRAMEWAIT", [](LoaderConfig& c) { c.frameWaitMs = 20; }, PortChange::Opened, line,
       [](Fixture f) { return f.port.m_frameWaitMs == 20; }},
      {"BAUD", [](LoaderConfig& c) { c.baudIndex = 3; }, PortChange::Opened,
       " COM1 : Serial : 9600bps ", nullptr},
      {"PORT on a device that fails", [](LoaderConfig& c) { c.port = 2; }, PortChange::Failed,
       "COM2" + std::string(kTextPortError), nullptr},
      {"PORT=NONE", [](LoaderConfig& c) { c.noSerialPort = true; }, PortChange::Disabled,
       kTextNoSerialPort, nullptr},
  };
  for (const ApplyCase& c : cases) {
    SCOPED_TRACE(c.what);
    CoreFixture f;
    ASSERT_TRUE(f.engine.Start().loaded);
    f.port.events.clear();
    f.port.openSucceeds = c.port != PortChange::Failed;
    LoaderConfig cfg = f.engine.Settings();
    c.change(cfg);
    EXPECT_EQ(f.engine.Apply(cfg), c.port);
    // Only a change of the port's own settings closes it.
    EXPECT_EQ(!f.port.events.empty(), c.port != PortChange::Kept);
    EXPECT_EQ(f.engine.Snapshot().portLine, c.portLine);
    EXPECT_TRUE(!c.reached || c.reached(f));
    EXPECT_TRUE(f.engine.Accepting());  // TCP is served whatever the port does
  }
}

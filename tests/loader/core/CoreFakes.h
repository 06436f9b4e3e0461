// Fakes for driving the download engine: a serial channel that records writes, a
// view, progress bar, message sink, folder chooser, port dialog and TCP
// connection that record what the core asks of them; plus a temp folder with
// Romvale.cfg and images.
#pragma once

#include "support/TempDir.h"

#include "core/DownloadEngine.h"
#include "support/TestBytes.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace coretest {

using ByteVec = std::vector<std::uint8_t>;
using testbytes::Hex;

class FakeChannel : public SerialChannel {
 public:
  bool Open() override {
    PrepareOpen();
    events.push_back("Open " + m_portName);
    m_open = openSucceeds;
    return openSucceeds;
  }
  void Close() override {
    events.push_back("Close");
    m_open = false;
  }
  int Write(std::span<const std::uint8_t> data) override {
    writes.emplace_back(data.begin(), data.end());
    return static_cast<int>(data.size());
  }
  /// What the reader would queue for one burst.
  void Queue(const ByteVec& bytes) {
    for (std::uint8_t b : bytes) m_readQueue.Put(b);
  }
  /// Writes since the last call, in hex.
  std::vector<std::string> TakeWrites() {
    std::vector<std::string> out;
    for (const auto& w : writes) out.push_back(Hex(w));
    writes.clear();
    return out;
  }

  bool openSucceeds = true;
  std::vector<ByteVec> writes;
  std::vector<std::string> events;
};

class FakeConnection : public IConnection {
 public:
  explicit FakeConnection(std::string peer = "127.0.0.1:40000") : peerName(std::move(peer)) {}
  std::string PeerName() const override { return peerName; }
  int Send(std::span<const std::uint8_t> data) override {
    sent.emplace_back(data.begin(), data.end());
    return static_cast<int>(data.size());
  }
  std::vector<std::string> TakeSent() {
    std::vector<std::string> out;
    for (const auto& w : sent) out.push_back(Hex(w));
    sent.clear();
    return out;
  }
  std::vector<ByteVec> sent;
  std::string peerName;
};

class FakeView : public IEngineView {
 public:
  void Show(const EngineSnapshot& snapshot) override {
    ++updates;
    shownStatus.push_back(snapshot.status);
  }
  void EnableControls(bool enable) override { enableCalls.push_back(enable); }
  int updates = 0;
  std::vector<std::string> shownStatus;
  std::vector<bool> enableCalls;
};

class FakeProgress : public IProgressCtrl {
 public:
  void SetRange(int lo, int hi) override {
    ops.push_back("range " + std::to_string(lo) + ".." + std::to_string(hi));
  }
  void SetStep(int n) override { ops.push_back("step " + std::to_string(n)); }
  void StepIt() override { ops.push_back("stepit"); }
  void SetPos(int n) override { ops.push_back("pos " + std::to_string(n)); }
  std::vector<std::string> Take() {
    auto out = ops;
    ops.clear();
    return out;
  }
  std::vector<std::string> ops;
};

class FakeMessages : public IMessageSink {
 public:
  void MessageBox(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

class FakeChooser : public IFolderChooser {
 public:
  std::optional<std::string> ChooseFolder(std::string_view t, std::string_view pre) override {
    title = t;
    preselected = pre;
    ++calls;
    if (whileOpen) whileOpen();
    return result;
  }
  std::optional<std::string> result;
  std::function<void()> whileOpen;
  std::string title, preselected;
  int calls = 0;
};

class FakePortDialog : public IPortSetDialog {
 public:
  std::optional<PortSetting> RunPortSetDlg(int baud, int port, int type,
                                           const std::string& modem) override {
    args = {baud, port, type};
    modemArg = modem;
    return result;
  }
  std::optional<PortSetting> result;
  std::vector<int> args;
  std::string modemArg;
};

/// A clock the test moves by hand.
class FakeClock : public IClock {
 public:
  std::int64_t NowMs() const override { return nowMs; }
  std::int64_t nowMs = 0;
};

/// Download reports and TCP session progress, as the headless lines would show them.
class FakeLog : public IDownloadLog {
 public:
  void DownloadEnded(const DownloadReport& r) override {
    lines.push_back(r.done
                        ? "done: " + r.file + " " + std::to_string(r.bytes) + " bytes " +
                              std::to_string(r.blocks) + " blocks in " + std::to_string(r.millis) +
                              " ms via " + r.via + (r.note.empty() ? "" : " (" + r.note + ")")
                        : "failed: " + r.file + " " + r.reason + " via " + r.via);
  }
  void SessionProgress(std::string_view peer, std::string_view file, int pos, int max) override {
    lines.push_back("session: " + std::string(peer) + " " + std::string(file) + " " +
                    std::to_string(pos) + "/" + std::to_string(max));
  }
  std::vector<std::string> Take() {
    auto out = lines;
    lines.clear();
    return out;
  }
  std::vector<std::string> lines;
};

using TempDir = testsupport::TempDir;

// The shared download's ROM and BLL states: blocked (requests are not taken),
// idle or active; and whether it has each kind of file open.
inline constexpr int kStateBlocked = -1;
inline bool SharedHas(const DownloadEngine& engine, bool (Download::*what)() const) {
  const Download* d = engine.SharedDownload();
  return d != nullptr && (d->*what)();
}
inline bool SharedRunning(const DownloadEngine& e) {
  return SharedHas(e, &Download::Running);
}
inline int SharedState(const DownloadEngine& e, bool (Download::*running)() const) {
  if (SharedHas(e, running)) return kStateActive;
  return e.Accepting() ? kStateIdle : kStateBlocked;
}
inline int RomState(const DownloadEngine& e) {
  return SharedState(e, &Download::RomRunning);
}
inline int BllState(const DownloadEngine& e) {
  return SharedState(e, &Download::BllRunning);
}
/// Applies the settings in effect with one change.
template <class Change>
void ApplySetting(DownloadEngine& engine, Change change) {
  LoaderConfig cfg = engine.Settings();
  change(cfg);
  engine.Apply(cfg);
}

/// The shared download (one was started).
inline const Download& SharedOf(const DownloadEngine& engine) {
  return *engine.SharedDownload();
}

inline void WriteFile(const std::string& path, const ByteVec& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}
inline void WriteText(const std::string& path, std::string_view text) {
  std::ofstream(path, std::ios::binary)
      .write(text.data(), static_cast<std::streamsize>(text.size()));
}
inline std::string ReadText(const std::string& path) {
  std::string text;
  if (std::FILE* fp = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, fp)) > 0) text.append(chunk, n);
    std::fclose(fp);
  }
  return text;
}

inline constexpr std::string_view kDefaultCommunication =
    "PORT=COM1\r\nTYPE=RS232\r\nBAUD=57600bps\r\n";

/// An engine over fakes, with Romvale.cfg in a temp folder naming the
/// folders rom/ and bll/ there. communication: the keys of [Communication];
/// extra: further sections.
class CoreFixture {
 public:
  explicit CoreFixture(std::string_view communication = kDefaultCommunication,
                       std::string_view extra = {}, bool writeConfig = true) {
    std::filesystem::create_directories(RomDir());
    std::filesystem::create_directories(BllDir());
    if (writeConfig) {
      WriteText(dir.File("Romvale.cfg"), "[Location]\r\nROMFILE=" + RomDir() +
                                             "\r\nBLLFILE=" + BllDir() + "\r\n[Communication]\r\n" +
                                             std::string(communication) + std::string(extra));
    }
  }
  std::string RomDir() const { return dir.File("rom"); }
  std::string BllDir() const { return dir.File("bll"); }

  /// One serial burst handed to the core.
  void Serial(const ByteVec& bytes) {
    port.Queue(bytes);
    engine.OnCommRead();
  }

  TempDir dir;
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
      dir.Path().string()};
};

}  // namespace coretest

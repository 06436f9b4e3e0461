// What the download engine needs from the outside world. The Qt window, the
// headless runner and the tests each implement these small interfaces; the
// engine holds no widget, socket or clock.
#pragma once

#include "config/LoaderDefaults.h"
#include "core/EngineSnapshot.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

/// The engine's view: Show is called whenever what it shows may have changed.
class IEngineView {
 public:
  virtual ~IEngineView() = default;
  virtual void Show(const EngineSnapshot& snapshot) = 0;
  /// false disables the buttons 1005, 3 and 1008 (port settings, download,
  /// ROM location); true enables them again.
  virtual void EnableControls(bool enable) = 0;
};

/// The progress bar (control 1013).
class IProgressCtrl {
 public:
  virtual ~IProgressCtrl() = default;
  virtual void SetRange(int lower, int upper) = 0;
  virtual void SetStep(int step) = 0;
  virtual void StepIt() = 0;
  virtual void SetPos(int pos) = 0;
};

/// Modal message box with an OK button, owned by the dialog.
class IMessageSink {
 public:
  virtual ~IMessageSink() = default;
  virtual void MessageBox(std::string_view text) = 0;
};

/// The folder chooser of the ROM-location command. Returns the chosen folder,
/// or nothing when the user cancels (or there is no one to ask).
class IFolderChooser {
 public:
  virtual ~IFolderChooser() = default;
  virtual std::optional<std::string> ChooseFolder(std::string_view title,
                                                  std::string_view preselected) = 0;
};

/// Values the port-settings dialog hands back on OK (its GetSetting).
struct PortSetting {
  int port = kDefaultPort;               // 1..8; 0 when no port button was selected
  int commType = kDefaultCommType;       // kCommModem or kCommRs232
  int baudIndex = kDefaultBaudIndex;     // 0..8, or -1 when no rate was selected
  std::optional<std::string> modemInit;  // set only when the type is modem
};

/// Runs the port-settings dialog modally, initialised from the channel's current
/// values. Returns the choice on OK, nothing on Cancel.
class IPortSetDialog {
 public:
  virtual ~IPortSetDialog() = default;
  virtual std::optional<PortSetting> RunPortSetDlg(int baudIndex, int port, int commType,
                                                   const std::string& modemInit) = 0;
};

/// Milliseconds of a monotonic clock; the core keeps none of its own, so tests
/// can step time by hand.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual std::int64_t NowMs() const = 0;
};

/// One download that ended: sent to its end (done), or ended otherwise.
struct DownloadReport {
  bool done = false;
  std::string file;            // the image's name
  std::int64_t bytes = 0;      // its size
  int blocks = 0;              // its block count
  std::int64_t millis = 0;     // from the start reply to the end
  std::string via;             // "serial COM1" or "tcp 127.0.0.1:40000"
  std::string reason;          // why it failed ("" when done)
  std::string kind;            // "rom" or "bll"
  std::string note;            // added to a done line, e.g. "ended by the terminal at block 3 of 9"
  std::int64_t bytesSent = 0;  // image bytes of the blocks the terminal acknowledged
  std::string line;            // the serial line's name when several are served, else ""
};

/// Per-download events. The headless runner logs them; a window may only use
/// them to refresh its list of running downloads.
class IDownloadLog {
 public:
  virtual ~IDownloadLog() = default;
  virtual void DownloadEnded(const DownloadReport& report) = 0;
  /// A connection's download of its own (CONCURRENT=1) moved its progress bar to pos of max.
  virtual void SessionProgress(std::string_view peer, std::string_view file, int pos, int max) = 0;
  /// A further serial line's download (PORTS) moved its progress bar to pos of max.
  virtual void LineProgress(std::string_view /*line*/, int /*pos*/, int /*max*/) {}
  /// 설정 저장 or a port mapping wrote the configuration file (error "") or failed.
  virtual void ConfigSaved(const std::string& /*path*/, const std::string& /*error*/) {}
};

/// Everything a DownloadEngine talks to besides its serial channel.
struct DownloadHost {
  IEngineView* view = nullptr;
  IProgressCtrl* progress = nullptr;
  IMessageSink* messages = nullptr;
  IFolderChooser* folderChooser = nullptr;
  IPortSetDialog* portSetDialog = nullptr;
  IDownloadLog* log = nullptr;
  const IClock* clock = nullptr;  // without one, time stands still (no time-outs)
};

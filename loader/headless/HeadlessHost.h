// The headless front end's side of the dialog: every change of the port status
// or status line is one "port:"/"status:" line on stdout, progress changes
// "progress: <pos>/<max>" lines, every message box a "message:" line on stderr;
// every download that ends a "done:" or "failed:" line (the last line that
// download prints), and progress steps of a connection's own session
// "session:" lines. Progress is printed at most once a second per download
// unless every step is asked for.
// Nobody is there to answer the folder chooser or the port dialog.
#pragma once

#include "core/DownloadHost.h"
#include "core/ProgressState.h"
#include "headless/DownloadTally.h"
#include "headless/ProgressThrottle.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// The text as one output line: CR and LF become the escapes \r and \n, every
/// other control byte \xNN, so no byte from a file name or a peer acts on the console.
std::string EscapeLine(std::string_view text);

class HeadlessHost : public IEngineView,
                     public IProgressCtrl,
                     public IMessageSink,
                     public IFolderChooser,
                     public IPortSetDialog,
                     public IDownloadLog {
 public:
  /// Every progress change is printed (everyStep), or at most one a second per download.
  HeadlessHost(std::ostream& out, std::ostream& err, bool everyStep = true);
  /// The monotonic clock, in ms, the once-a-second rules read (tests set their own).
  using Clock = std::int64_t (*)();
  void SetClock(Clock clock) noexcept { m_now = clock; }

  DownloadHost Host();
  /// Prints the done:/failed: lines held back until their download's own lines were out.
  void FlushEnded();
  /// The downloads that ended so far.
  const DownloadTally& Tally() const noexcept { return m_tally; }

  /// Prints the port and status lines that changed.
  void Show(const EngineSnapshot& snapshot) override;
  void EnableControls(bool enable) override;
  void SetRange(int lower, int upper) override;
  void SetStep(int step) override;
  void StepIt() override;
  void SetPos(int pos) override;
  void MessageBox(std::string_view text) override;
  std::optional<std::string> ChooseFolder(std::string_view title,
                                          std::string_view preselected) override;
  std::optional<PortSetting> RunPortSetDlg(int baudIndex, int port, int commType,
                                           const std::string& modemInit) override;
  /// "done: <file> <bytes> bytes <blocks> blocks in <seconds> s via <channel>[ (<note>)]"
  /// or "failed: <file> <reason> via <channel>", printed once the download's
  /// status line is out.
  void DownloadEnded(const DownloadReport& report) override;
  /// "session: <peer> <file> <pos>/<max>".
  void SessionProgress(std::string_view peer, std::string_view file, int pos, int max) override;
  /// "progress: <line> <pos>/<max>" of a further serial line.
  void LineProgress(std::string_view line, int pos, int max) override;

 private:
  struct SessionBar {
    ProgressThrottle throttle;
    int pos = 0;
  };
  /// A status line as shown. A download's percentage ("<file>  N% downloaded...")
  /// that follows another one is shown at most once a second, 0 % and 100 %
  /// always (with --progress=all, every change): with many TCP downloads at once
  /// the one status line changes with nearly every block of any of them. The
  /// last one held back goes out before the next other line of its field and
  /// before a download's end.
  struct StatusField {
    std::string shown;
    std::string held;
    std::int64_t shownMs = 0;
  };
  struct ShownLine {
    std::string port;
    StatusField status;
  };
  /// Looked up by a name as it is passed, without copying it into a string.
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view name) const noexcept {
      return std::hash<std::string_view>{}(name);
    }
  };
  using BarMap = std::unordered_map<std::string, SessionBar, NameHash, std::equal_to<>>;

  /// "<tag>: [<line> ]<value>" when value changed.
  void PrintIfChanged(std::string_view tag, std::string_view line, const std::string& value,
                      std::string& shown);
  /// "status: [<line> ]<value>" when value changed, as StatusField says.
  void PrintStatus(std::string_view line, const std::string& value, StatusField& field);
  /// The percentage held back in field, if any, printed now.
  void ReleaseHeld(std::string_view line, StatusField& field);
  /// The percentages held back, before a line that ends a download.
  void FlushHeldStatus();
  /// One step of a bar kept by key, printed by print(ProgressStep) as the
  /// throttle allows (a template: no function object is built for each block).
  template <typename Print>
  void ThrottledStep(BarMap& bars, std::string_view key, ProgressStep step, const Print& print);
  void ShowProgress(int oldPos, int oldMax);
  void PrintProgress(ProgressStep step);
  void PrintSession(std::string_view peer, std::string_view file, ProgressStep step);

  std::ostream& m_out;
  std::ostream& m_err;
  bool m_everyStep;
  Clock m_now;
  std::string m_shownPort;
  StatusField m_status;
  ProgressState m_progress;
  ProgressThrottle m_throttle;
  BarMap m_sessionBars;                                     // by peer
  BarMap m_lineBars;                                        // further serial lines' bars, by name
  std::unordered_map<std::string, ShownLine> m_shownLines;  // by name, with several lines
  std::string m_portLineName;             // the PORT line's name with several lines, else ""
  std::vector<std::string> m_endedLines;  // held back done:/failed: lines
  DownloadTally m_tally;
};

// How often one download's progress is printed: every change, or at most once a
// second with the first step and the last always shown. Decides before a line
// is formatted, so a step that is not shown costs a comparison and a clock read.
#pragma once

#include <cstdint>
#include <optional>

/// A progress position of a download.
struct ProgressStep {
  int pos = 0;
  int max = 0;
};

class ProgressThrottle {
 public:
  /// What to do with one change of the bar.
  enum class Verdict {
    Print,  // show this step
    Skip,   // not now (kept as the last step not shown)
    End,    // the bar was reset after a download: show LastSkipped() instead, if any
  };

  /// everyStep: every change is printed (and the reset after a download too).
  explicit ProgressThrottle(bool everyStep = true) : m_everyStep(everyStep) {}
  /// Whether the change from oldPos to step is shown at nowMs (monotonic).
  Verdict Admit(int oldPos, ProgressStep step, std::int64_t nowMs);
  /// The last step that was skipped since the last one printed; cleared by the call.
  std::optional<ProgressStep> TakeSkipped();

 private:
  bool m_everyStep;
  bool m_newDownload = true;
  int m_shownMax = -1;
  std::int64_t m_shownMs = 0;
  std::optional<ProgressStep> m_skipped;
};

/// At most one progress line a second per download.
inline constexpr std::int64_t kProgressIntervalMs = 1000;

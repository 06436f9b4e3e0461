// The once-a-second rule for progress lines.
#include "headless/ProgressThrottle.h"

ProgressThrottle::Verdict ProgressThrottle::Admit(int oldPos, ProgressStep step,
                                                  std::int64_t nowMs) {
  if (m_everyStep) return Verdict::Print;
  if (step.pos == 0 && oldPos > 0 && step.max == m_shownMax) {
    // The bar is reset once a download ends; the next change starts a new one.
    m_newDownload = true;
    return Verdict::End;
  }
  const bool first = m_newDownload || step.max != m_shownMax;
  const bool last = step.pos == step.max;
  if (!first && !last && nowMs - m_shownMs < kProgressIntervalMs) {
    m_skipped = step;
    return Verdict::Skip;
  }
  m_newDownload = false;
  m_shownMax = step.max;
  m_shownMs = nowMs;
  m_skipped.reset();
  return Verdict::Print;
}

std::optional<ProgressStep> ProgressThrottle::TakeSkipped() {
  std::optional<ProgressStep> step = m_skipped;
  m_skipped.reset();
  return step;
}

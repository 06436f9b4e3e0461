// Progress-bar arithmetic shared by the window's bar.
#include "core/ProgressState.h"

#include <algorithm>

int ProgressState::Clamp(int pos) const {
  // An inverted range (upper below lower) holds only its lower end.
  return std::max(m_lower, std::min(pos, std::max(m_lower, m_upper)));
}

void ProgressState::SetRange(int lower, int upper) {
  m_lower = lower;
  m_upper = upper;
  m_pos = Clamp(m_pos);
}

void ProgressState::StepIt() {
  // Widen before adding so a huge step cannot overflow.
  const long long next = static_cast<long long>(m_pos) + m_step;
  m_pos = next > m_upper ? m_lower : Clamp(static_cast<int>(next));
}

void ProgressState::SetPos(int pos) {
  m_pos = Clamp(pos);
}

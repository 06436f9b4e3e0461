// Progress-bar arithmetic shared by the window's bar.
#include "core/ProgressState.h"

#include <algorithm>

int CProgressState::Clamp(int nPos) const {
  // An inverted range (upper below lower) holds only its lower end.
  return std::max(m_nLower, std::min(nPos, std::max(m_nLower, m_nUpper)));
}

void CProgressState::SetRange(int nLower, int nUpper) {
  m_nLower = nLower;
  m_nUpper = nUpper;
  m_nPos = Clamp(m_nPos);
}

void CProgressState::StepIt() {
  // Widen before adding so a huge step cannot overflow.
  const long long next = static_cast<long long>(m_nPos) + m_nStep;
  m_nPos = next > m_nUpper ? m_nLower : Clamp(static_cast<int>(next));
}

void CProgressState::SetPos(int nPos) {
  m_nPos = Clamp(nPos);
}

// The progress bar's numbers as the sessions drive them: range, step and
// position, with the bar's own rules (position kept inside the range, a step
// past the end starts over at the beginning). Front ends show the result.
#pragma once

/// Range, step and position of a progress bar.
class CProgressState {
 public:
  /// Sets the range; the position is moved inside it.
  void SetRange(int nLower, int nUpper);
  void SetStep(int nStep) { m_nStep = nStep; }
  /// Advances by the step; past the upper end it starts over at the lower end.
  void StepIt();
  /// Sets the position, kept inside the range.
  void SetPos(int nPos);

  int Lower() const { return m_nLower; }
  int Upper() const { return m_nUpper; }
  int Step() const { return m_nStep; }
  int Pos() const { return m_nPos; }

 private:
  int Clamp(int nPos) const;

  // A fresh bar: 0..100, step 10, empty.
  int m_nLower = 0;
  int m_nUpper = 100;
  int m_nStep = 10;
  int m_nPos = 0;
};

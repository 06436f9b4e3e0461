// The progress bar's numbers as the sessions drive them: range, step and
// position, with the bar's own rules (position kept inside the range, a step
// past the end starts over at the beginning). Front ends show the result.
#pragma once

/// Range, step and position of a progress bar.
class ProgressState {
 public:
  /// Sets the range; the position is moved inside it.
  void SetRange(int lower, int upper);
  void SetStep(int step) { m_step = step; }
  /// Advances by the step; past the upper end it starts over at the lower end.
  void StepIt();
  /// Sets the position, kept inside the range.
  void SetPos(int pos);

  int Lower() const { return m_lower; }
  int Upper() const { return m_upper; }
  int Step() const { return m_step; }
  int Pos() const { return m_pos; }

 private:
  int Clamp(int pos) const;

  // A fresh bar: 0..100, step 10, empty.
  int m_lower = 0;
  int m_upper = 100;
  int m_step = 10;
  int m_pos = 0;
};

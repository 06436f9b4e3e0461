// The table of serial lines the window shows in place of its port line and
// progress bar when several lines are served (PORTS): one row per line.
#pragma once

#include "core/EngineSnapshot.h"

#include <QTableWidget>

#include <vector>

class LinesTable : public QTableWidget {
 public:
  explicit LinesTable(QWidget* parent = nullptr);
  /// One row per line, in the engine's order: name, device, state, file, progress.
  /// portExplanation: the PORT line's state tooltip (why it is not open).
  void ShowLines(const std::vector<LineView>& lines, const std::string& portExplanation);
};

// Rows of the lines table, refreshed in place.
#include "window/LinesTable.h"

#include "window/DialogLook.h"
#include "window/WindowTexts.h"

#include <QHeaderView>
#include <QStringList>

#include <array>

LinesTable::LinesTable(QWidget* parent) : QTableWidget(parent) {
  setObjectName(QStringLiteral("serialLines"));
  setAccessibleName(QStringLiteral("Serial lines"));
  setColumnCount(static_cast<int>(wnd::kLinesColumns.size()));
  QStringList headers;
  for (const std::string_view column : wnd::kLinesColumns) {
    headers << Utf8(column);
  }
  setHorizontalHeaderLabels(headers);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::NoSelection);
  setFocusPolicy(Qt::NoFocus);
  setMinimumHeight(fontMetrics().height() * 8);
}

void LinesTable::ShowLines(const std::vector<LineView>& lines, const std::string& portExplanation) {
  setRowCount(static_cast<int>(lines.size()));
  for (int row = 0; row < rowCount(); ++row) {
    const LineView& line = lines[static_cast<std::size_t>(row)];
    const std::array<QString, 5> cells = {
        Utf8(line.name), Utf8(line.device), Utf8(line.state), Utf8(line.file),
        line.file.empty() ? QString() : QString::number(line.percent) + QLatin1Char('%')};
    static_assert(cells.size() == wnd::kLinesColumns.size());
    for (int column = 0; column < columnCount(); ++column) {
      QTableWidgetItem* cell = item(row, column);
      if (cell == nullptr) {
        cell = new QTableWidgetItem;
        setItem(row, column, cell);
      }
      const QString& text = cells[static_cast<std::size_t>(column)];
      if (cell->text() != text) cell->setText(text);
    }
    item(row, 2)->setToolTip(line.isPort ? Utf8(portExplanation) : QString());
  }
}

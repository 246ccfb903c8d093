// Copying the selected cells and pasting them: exactly, NULL too, within
// the program; as tab-separated lines with other programs.
#include <QApplication>
#include <QClipboard>
#include <algorithm>
#include <map>

#include "DataGrid.h"
#include "RecordsetModel.h"
#include "ClipboardCells.h"

namespace ui {

void DataGrid::paste() {
  if (!model_ || !commitPendingEdit() || !currentIndex().isValid()) return;
  const QModelIndex start = currentIndex();
  const ClipboardCells lines = CellsOf(QApplication::clipboard()->mimeData());
  if (lines.isEmpty()) return;
  const int missing = model_->rowsMissingFor(start.row(), static_cast<int>(lines.size()));
  if (missing > 0 &&
      !confirm(QStringLiteral("%1 of the pasted lines go past the last row of the table \"%2\". Add them as new rows?")
                   .arg(missing)
                   .arg(model_->tableName())))
    return;
  if (!model_->pasteBlock(start.row(), start.column(), lines)) return;
  // What was pasted is what is selected after.
  qsizetype width = 0;
  for (const auto& line : lines) width = std::max(width, line.size());
  selectBlock(start.row(), start.column(), start.row() + static_cast<int>(lines.size()) - 1,
              start.column() + static_cast<int>(width) - 1);
}

void DataGrid::copySelection() {
  const QModelIndexList selected = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList{};
  if (!model_ || selected.isEmpty()) return;
  std::map<int, std::map<int, std::optional<QString>>> cells;
  int firstColumn = selected.first().column();
  int lastColumn = firstColumn;
  for (const QModelIndex& index : selected) {
    // Every value whole; where a row changed since it was read, nothing is
    // copied.
    const std::optional<QString> whole = model_->copiedText(index);
    if (!whole) return;
    cells[index.row()][index.column()] =
        index.data(RecordsetModel::NullRole).toBool() ? std::nullopt : std::optional(*whole);
    firstColumn = std::min(firstColumn, index.column());
    lastColumn = std::max(lastColumn, index.column());
  }
  ClipboardCells rows;
  for (const auto& [row, columns] : cells) {
    QList<std::optional<QString>> line;
    for (int column = firstColumn; column <= lastColumn; ++column) {
      const auto found = columns.find(column);
      line << (found == columns.end() ? std::optional(QString()) : found->second);
    }
    rows << line;
  }
  // The clipboard takes the data over.
  QApplication::clipboard()->setMimeData(CellsMimeData(rows).release());
}

}  // namespace ui

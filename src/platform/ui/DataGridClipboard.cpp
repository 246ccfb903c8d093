// Copying the selected cells and pasting tab-separated lines.
#include <QApplication>
#include <QClipboard>
#include <algorithm>
#include <map>

#include "DataGrid.h"
#include "RecordsetModel.h"
#include "TabSeparatedText.h"

namespace ui {

void DataGrid::paste() {
  if (!model_ || !commitPendingEdit() || !currentIndex().isValid()) return;
  const QModelIndex start = currentIndex();
  const QList<QStringList> lines = FromTabSeparated(QApplication::clipboard()->text());
  if (lines.isEmpty()) return;
  const int missing = model_->rowsMissingFor(start.row(), static_cast<int>(lines.size()));
  if (missing > 0 &&
      !confirm(QStringLiteral("%1 of the pasted lines go past the last row of the table \"%2\". Add them as new rows?")
                   .arg(missing)
                   .arg(model_->tableName())))
    return;
  model_->pasteBlock(start.row(), start.column(), lines);
}

void DataGrid::copySelection() {
  const QModelIndexList selected = selectionModel() ? selectionModel()->selectedIndexes() : QModelIndexList{};
  if (!model_ || selected.isEmpty()) return;
  std::map<int, std::map<int, QString>> cells;
  int firstColumn = selected.first().column();
  int lastColumn = firstColumn;
  for (const QModelIndex& index : selected) {
    // Every value whole; where a row changed since it was read, nothing is
    // copied.
    const std::optional<QString> whole = model_->copiedText(index);
    if (!whole) return;
    cells[index.row()][index.column()] = *whole;
    firstColumn = std::min(firstColumn, index.column());
    lastColumn = std::max(lastColumn, index.column());
  }
  QList<QStringList> rows;
  for (const auto& [row, columns] : cells) {
    QStringList line;
    for (int column = firstColumn; column <= lastColumn; ++column) {
      const auto found = columns.find(column);
      line << (found == columns.end() ? QString() : found->second);
    }
    rows << line;
  }
  QApplication::clipboard()->setText(ToTabSeparated(rows));
}

}  // namespace ui

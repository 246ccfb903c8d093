#include "CopyWithHeadings.h"

#include <QApplication>
#include <QClipboard>
#include <algorithm>
#include <climits>

#include "DataGrid.h"
#include "TabSeparatedText.h"

namespace ui {

void CopyWithHeadings(DataGrid& grid) {
  if (!grid.model() || !grid.selectionModel() || !grid.selectionModel()->hasSelection()) return;
  // Copy's own cells, so that both copy a value alike; a copy that failed
  // (its row changed meanwhile) leaves the clipboard empty.
  QClipboard* clipboard = QApplication::clipboard();
  clipboard->clear();
  grid.copySelection();
  const QString cells = clipboard->text();
  if (cells.isEmpty()) return;
  int first = INT_MAX;
  int last = -1;
  for (const QItemSelectionRange& range : grid.selectionModel()->selection()) {
    first = std::min(first, range.left());
    last = std::max(last, range.right());
  }
  QStringList headings;
  for (int column = first; column <= last; ++column)
    headings << grid.model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  clipboard->setText(ToTabSeparated({headings}) + cells);
}

}  // namespace ui

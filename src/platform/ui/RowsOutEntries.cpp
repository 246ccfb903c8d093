#include "RowsOutEntries.h"

#include <QKeySequence>
#include <QItemSelectionModel>
#include <QMenu>

#include "CopyWithHeadings.h"
#include "DataGrid.h"
#include "RowsExportDialog.h"

namespace ui {
namespace {

const QKeySequence kCopyWithHeadingsShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
const QKeySequence kExportShortcut(Qt::CTRL | Qt::Key_E);

}  // namespace

void AddRowsOutEntries(QMenu& menu, DataGrid& grid) {
  QAction* copy = menu.addAction(QStringLiteral("Copy with headings"), &grid, [&grid] { CopyWithHeadings(grid); });
  copy->setShortcut(kCopyWithHeadingsShortcut);
  copy->setEnabled(grid.selectionModel() && grid.selectionModel()->hasSelection());
  QAction* exportRows = menu.addAction(QStringLiteral("Export..."), &grid, [&grid] { AskAndExportRows(grid); });
  exportRows->setShortcut(kExportShortcut);
}

bool RunRowsOutKey(DataGrid& grid, const QKeySequence& pressed) {
  if (pressed == kCopyWithHeadingsShortcut)
    CopyWithHeadings(grid);
  else if (pressed == kExportShortcut)
    AskAndExportRows(grid);
  else
    return false;
  return true;
}

}  // namespace ui

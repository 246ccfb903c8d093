// The rows of a grid written to a file a block at a time: read where they
// are, written, and let go again as the grid lets go of rows far from view.
#include "RowsExport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSaveFile>
#include <QScopeGuard>
#include <algorithm>
#include <climits>
#include <exception>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "DataGrid.h"
#include "LockWait.h"
#include "RecordsetModel.h"

namespace ui {
namespace {

// Rows are read, written and let go a block at a time: first a block of
// FirstBlockRows, then blocks of as many rows as take about BlockBytes as
// held. Where the view cannot be read on after a row (a sort), each block
// makes the database step over every row before it: few, large blocks
// save most of the time there.
constexpr std::size_t FirstBlockRows = RecordsetModel::StepRows;
constexpr std::size_t BlockBytes = std::size_t{4} << 20;
// The text goes to the file in pieces of about this size.
constexpr std::size_t WriteBytes = std::size_t{1} << 20;

// The rows of the next block, from the bytes `rowsRead` rows of the last
// one took; it grows by a few times at most, should those rows have been
// narrower than the rest.
std::size_t NextBlockRows(std::size_t blockRows, std::size_t rowsRead, std::size_t bytesRead) {
  if (rowsRead == 0 || bytesRead == 0) return blockRows;
  return std::clamp(BlockBytes * rowsRead / bytesRead, FirstBlockRows, 4 * blockRows);
}

// What is written: runs of places [first, end) in ascending order, and the
// columns.
struct ExportedCells {
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  std::vector<int> columns;

  std::size_t rows() const {
    std::size_t rows = 0;
    for (const auto& [first, end] : runs) rows += end - first;
    return rows;
  }
};

ExportedCells SelectedCells(const DataGrid& grid, const RecordsetModel& model) {
  std::vector<std::pair<std::size_t, std::size_t>> runs;
  std::set<int> columns;
  for (const QItemSelectionRange& range : grid.selectionModel()->selection()) {
    runs.emplace_back(model.pageBase() + static_cast<std::size_t>(range.top()),
                      model.pageBase() + static_cast<std::size_t>(range.bottom()) + 1);
    for (int column = range.left(); column <= range.right(); ++column) columns.insert(column);
  }
  std::sort(runs.begin(), runs.end());
  ExportedCells cells{{}, {columns.begin(), columns.end()}};
  for (const auto& run : runs) {
    if (!cells.runs.empty() && run.first <= cells.runs.back().second)
      cells.runs.back().second = std::max(cells.runs.back().second, run.second);
    else
      cells.runs.push_back(run);
  }
  return cells;
}

// Every row of the view gets its place, as for a jump to the end, and a
// guess of their number waits for the count: each place is then a row.
// False when the user stopped the read or the wait.
bool KnowEveryRow(RecordsetModel& model, QProgressDialog& progress) {
  model.fetchAll();
  const ado::Recordset& rows = *model.recordset();
  if (!rows.windowed()) return rows.allRowsFetched();
  if (model.rowCountKnown()) return true;
  progress.setLabelText(QStringLiteral("Counting the rows..."));
  progress.setRange(0, 0);
  progress.show();
  QEventLoop waiting;
  QObject::connect(&model, &RecordsetModel::rowsCounted, &waiting, &QEventLoop::quit);
  QObject::connect(&progress, &QProgressDialog::canceled, &waiting, &QEventLoop::quit);
  waiting.exec();
  return model.rowCountKnown() && !progress.wasCanceled();
}

// The headings of the columns, as the grid shows them.
void AddHeadings(const RecordsetModel& model, const std::vector<int>& columns, DelimitedRows& text) {
  for (int column : columns)
    text.add(model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toUtf8().toStdString());
  text.endRow();
}

// A held row: each value whole, binary ones in hexadecimal as the grid
// shows them.
void AddRow(ado::Recordset& rows, const RecordsetModel& model, std::size_t place, const std::vector<int>& columns,
            DelimitedRows& text) {
  for (int column : columns) {
    const ado::CellView cell = rows.cell(place, column);
    const bool binary = model.columnIsBinary(column);
    if (cell.isNull || (!cell.cut() && !binary)) {
      text.add(cell.isNull ? std::nullopt : std::optional<std::string_view>(cell.text));
      continue;
    }
    std::string value = cell.cut() ? rows.WholeValue(place, column) : std::string(cell.text);
    if (binary)
      value = "0x" + QByteArray::fromRawData(value.data(), static_cast<qsizetype>(value.size())).toHex().toUpper().toStdString();
    text.add(value);
  }
  text.endRow();
}

// Raises std::runtime_error when the file refuses the text.
void Write(QSaveFile& file, const std::string& text) {
  if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
    throw std::runtime_error(file.errorString().toStdString());
}

// The rows of the places [first, end), read where they are not held.
void AddBlock(ado::Recordset& rows, const RecordsetModel& model, std::size_t first, std::size_t end,
              const std::vector<int>& columns, DelimitedRows& text, QSaveFile& file) {
  for (std::size_t place = first; place < end; ++place) {
    if (!rows.rowHeld(place)) {
      const auto [gapFirst, gaps] = rows.ReadRows(place, end - place);
      // Rows deleted since they were counted leave places without a row.
      if (!rows.rowHeld(place)) {
        if (gaps > 0 && gapFirst <= place && place < gapFirst + gaps) place = gapFirst + gaps - 1;
        continue;
      }
    }
    // A row a write found deleted is shown struck through; the table no
    // longer has it.
    if (rows.rowDeleted(place)) continue;
    AddRow(rows, model, place, columns, text);
    if (text.pending() >= WriteBytes) Write(file, text.take());
  }
}

// The grid lets go of rows far from those looked at; the export looks at
// the block just written, which stays, so that the next block is read on
// after its last row by key rather than by skipping every row before it.
// The rows on screen stay while the block is near them.
void LetGoFarRows(const DataGrid& grid, const RecordsetModel& model, std::size_t blockFirst, std::size_t blockLast) {
  ado::Recordset& rows = *model.recordset();
  if (!rows.windowed()) return;
  const int top = std::max(0, grid.rowAt(0));
  const int bottom = std::max(top, grid.rowAt(grid.viewport()->height() - 1));
  const std::size_t screenFirst = model.pageBase() + static_cast<std::size_t>(top);
  const std::size_t nearFirst = screenFirst > RecordsetModel::KeptRows ? screenFirst - RecordsetModel::KeptRows : 0;
  const std::size_t nearLast = model.pageBase() + static_cast<std::size_t>(bottom) + RecordsetModel::KeptRows;
  if (blockFirst <= nearLast && blockLast >= nearFirst)
    rows.KeepRows(std::min(nearFirst, blockFirst), std::max(nearLast, blockLast));
  else
    rows.KeepRows(blockFirst, blockLast);
}

void Announce(DataGrid& grid, const QString& reason) {
  emit grid.writeFailed(QStringLiteral("The rows were not exported: %1").arg(reason));
}

}  // namespace

bool ExportRows(DataGrid& grid, const RowsExportRequest& request) {
  RecordsetModel* model = grid.recordsetModel();
  if (!model || !grid.commitPendingEdit()) return false;
  // Rows read here and rows let go show as the grid holds them now.
  const auto repaint = qScopeGuard([&grid] { grid.viewport()->update(); });
  QProgressDialog progress(&grid);
  progress.setWindowTitle(QStringLiteral("Export"));
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(500);
  ExportedCells cells;
  if (request.selectionOnly) {
    cells = SelectedCells(grid, *model);
  } else {
    if (!KnowEveryRow(*model, progress)) return false;
    cells.runs = {{0, model->recordset()->rowCount()}};
    for (int column = 0; column < model->columnCount(); ++column) cells.columns.push_back(column);
  }

  QSaveFile file(request.path);
  if (!file.open(QIODevice::WriteOnly)) {
    Announce(grid, file.errorString());
    return false;
  }
  DelimitedRows text(request.format);
  AddHeadings(*model, cells.columns, text);
  progress.setLabelText(QStringLiteral("Exporting the rows to %1...").arg(QFileInfo(request.path).fileName()));
  progress.setRange(0, static_cast<int>(std::min<std::size_t>(cells.rows(), INT_MAX)));
  progress.setValue(0);
  ado::Recordset& rows = *model->recordset();
  std::size_t done = 0;
  std::size_t blockRows = FirstBlockRows;
  for (const auto& [first, end] : cells.runs) {
    for (std::size_t block = first, blockEnd = first; block < end; block = blockEnd) {
      blockEnd = std::min(end, block + blockRows);
      const std::size_t heldBefore = rows.heldBytes();
      std::size_t rowsHeld = 0;
      for (std::size_t place = block; place < blockEnd; ++place) rowsHeld += rows.rowHeld(place) ? 1 : 0;
      {
        // Esc stops a block that takes long to read.
        const LockWait::Read reading(*model->lockWait());
        try {
          AddBlock(rows, *model, block, blockEnd, cells.columns, text, file);
          Write(file, text.take());
        } catch (const std::exception& failure) {
          if (!model->lockWait()->cancelRequested()) Announce(grid, QString::fromUtf8(failure.what()));
          return false;
        }
      }
      const std::size_t heldAfter = rows.heldBytes();
      blockRows = NextBlockRows(blockRows, blockEnd - block - rowsHeld, heldAfter > heldBefore ? heldAfter - heldBefore : 0);
      LetGoFarRows(grid, *model, block, blockEnd - 1);
      done += blockEnd - block;
      progress.setValue(static_cast<int>(std::min<std::size_t>(done, INT_MAX)));
      // The window repaints, and Cancel is seen, from the first block on;
      // before the dialog shows, the user's input waits.
      QCoreApplication::processEvents(progress.isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
      if (progress.wasCanceled()) return false;
    }
  }
  if (!file.commit()) {
    Announce(grid, file.errorString());
    return false;
  }
  return true;
}

}  // namespace ui

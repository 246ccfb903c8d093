// The whole orders table written to a CSV file: by the program's Export...
// from its grid, and by a plain ODBC read writing the same kind of file.
// Each file goes into a folder of its own that is removed afterwards, and
// must hold a line per row of the table plus the headings.
#include <QString>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "RawBlocks.h"
#include "RawOdbc.h"
#include "platform/ui/DelimitedRows.h"
#include "platform/ui/RowsExport.h"

namespace bench {
namespace {

// The text goes to the file in pieces of about this size, as the
// program's does.
constexpr std::size_t WriteBytes = std::size_t{1} << 20;

// A folder of its own for the file, removed with it.
class ExportFolder {
 public:
  ExportFolder() {
    if (!folder_.isValid()) throw std::runtime_error("no temporary folder: " + folder_.errorString().toStdString());
  }
  QString path() const { return folder_.filePath(QStringLiteral("orders.csv")); }

 private:
  QTemporaryDir folder_;
};

void Execute(RawStatement& statement, std::string sql) {
  statement.Check(SQLExecDirect(statement.handle(), reinterpret_cast<SQLCHAR*>(sql.data()), SQL_NTS), "executing");
}

long long CountRows(const Options& options) {
  RawConnection connection(options.dataSource);
  RawStatement statement(connection);
  Execute(statement, "SELECT COUNT(*) FROM " + connection.Quote(options.table));
  SQLBIGINT rows = 0;
  statement.Check(SQLFetch(statement.handle()), "counting the rows");
  statement.Check(SQLGetData(statement.handle(), 1, SQL_C_SBIGINT, &rows, 0, nullptr), "counting the rows");
  return rows;
}

// Throws unless the file holds the headings and a line per row of the
// table (no value of the orders holds a line break).
void CheckLines(const QString& path, const Options& options) {
  std::ifstream file(path.toStdString(), std::ios::binary);
  if (!file) throw std::runtime_error("no file was written");
  std::vector<char> buffer(WriteBytes);
  long long lines = 0;
  while (file.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || file.gcount() > 0)
    lines += std::count(buffer.data(), buffer.data() + file.gcount(), '\n');
  const long long expected = CountRows(options) + 1;
  if (lines != expected)
    throw std::runtime_error("the file has " + std::to_string(lines) + " lines, the table " +
                             std::to_string(expected - 1) + " rows and the headings");
}

Metrics ExportFigures(const Span& span, double seconds, long long rows) {
  return {{"seconds", seconds},
          {"rows_per_second", static_cast<double>(rows) / seconds},
          {"rows", static_cast<double>(rows)},
          {"peak_mib", span.peakGrowthMiB()}};
}

using File = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

void Write(std::FILE* file, const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) throw std::runtime_error("writing the file");
}

// Reads the statement's result a block at a time, each value as text, and
// writes it as CSV with the column names first; the rows written.
long long WriteResult(RawStatement& statement, std::FILE* file) {
  RawBlocks blocks(statement);
  ui::DelimitedRows text(ui::DelimitedFormat::Csv);
  for (std::size_t column = 0; column < blocks.columnCount(); ++column) text.add(blocks.columnName(column));
  text.endRow();
  long long rows = 0;
  while (const std::size_t fetched = blocks.Fetch()) {
    for (std::size_t row = 0; row < fetched; ++row) {
      for (std::size_t column = 0; column < blocks.columnCount(); ++column) {
        bool cut = false;
        text.add(blocks.value(row, column, cut));
        if (cut) throw std::runtime_error("a value did not fit its buffer");
      }
      text.endRow();
    }
    rows += static_cast<long long>(fetched);
    if (text.pending() >= WriteBytes) Write(file, text.take());
  }
  Write(file, text.take());
  return rows;
}

}  // namespace

Metrics RawExport(const Options& options) {
  ExportFolder folder;
  // Connected already, as the program is when the user asks for the export.
  RawConnection connection(options.dataSource);
  Span span;
  long long rows = 0;
  {
    File file(std::fopen(folder.path().toLocal8Bit().constData(), "wb"), &std::fclose);
    if (!file) throw std::runtime_error("the file could not be created");
    RawStatement statement(connection);
    // In the key's order, as the grid shows them, so that both files hold
    // the same lines.
    Execute(statement,
            "SELECT * FROM " + connection.Quote(options.table) + " ORDER BY " + connection.Quote(options.key));
    rows = WriteResult(statement, file.get());
    if (std::fclose(file.release()) != 0) throw std::runtime_error("closing the file");
  }
  const double seconds = span.seconds();
  CheckLines(folder.path(), options);
  return ExportFigures(span, seconds, rows);
}

Metrics AppExport(const Options& options) {
  ExportFolder folder;
  ui::DataGrid grid;
  ShowGrid(grid);
  BindTable(grid, options);
  FillScreen(grid);
  QString failure;
  QObject::connect(&grid, &ui::DataGrid::writeFailed, [&failure](const QString& message) { failure = message; });
  // What "Export..." does once its dialog and the file's are answered:
  // every row shown, as CSV.
  Span span;
  const bool written = ui::ExportRows(grid, {folder.path(), ui::DelimitedFormat::Csv, false});
  const double seconds = span.seconds();
  if (!written) throw std::runtime_error("the export failed: " + failure.toStdString());
  CheckLines(folder.path(), options);
  return ExportFigures(span, seconds, static_cast<long long>(grid.dataSource()->rowCount()));
}

}  // namespace bench

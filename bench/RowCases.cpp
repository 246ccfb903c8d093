// Rows pasted over, deleted and added: the program through its grid model,
// the baseline with plain ODBC calls, parameter arrays and one transaction.
// Each puts the table back as it found it, outside the time measured.
#include <QObject>
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "RawBatch.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {
namespace {

constexpr int BlockRows = 1000;
constexpr int Adds = 20;
constexpr int PasteColumn = 3;  // created, qty, note, status
const char* const PastedNote = "pasted";

// A key no generated order has, that another run at the same time does not
// take either.
std::string AddedKey(int index) { return std::to_string(100000000L + getpid() % 100000 * 100L + index); }

std::string Tag(const char* impl, int index) {
  return std::string(impl) + " " + std::to_string(getpid()) + " " + std::to_string(index);
}

// The values a paste writes into row `index` of the block.
TextRow PastedRow(const char* impl, int index) {
  std::string note = PastedNote;
  note += " ";
  note += Tag(impl, index);
  return {std::string("2025-01-02 03:04:05"), std::to_string(index % 50), note, std::string("held")};
}

std::string SelectAll(const Options& options) { return "SELECT * FROM \"" + options.table + "\""; }

// The rows the grid shows first: the table in its own order.
TextRows FirstRows(const RawConnection& connection, const Options& options) {
  TextRows rows = ReadTexts(connection, SelectAll(options), BlockRows);
  if (rows.rows.size() != BlockRows) throw std::runtime_error("the table has fewer than 1000 rows");
  return rows;
}

long Count(const RawConnection& connection, const std::string& sql) {
  const TextRows rows = ReadTexts(connection, sql, 1);
  return rows.rows.empty() || !rows.rows[0][0] ? -1 : std::stol(*rows.rows[0][0]);
}

// Drivers count the rows of a parameter array differently (some only the
// last set's): what reached the table is counted afterwards.
long RowsPasted(const RawConnection& connection, const Options& options, const char* impl) {
  return Count(connection, "SELECT count(*) FROM \"" + options.table + "\" WHERE note LIKE '" + PastedNote + " " +
                               impl + " " + std::to_string(getpid()) + " %'");
}

long TableRows(const RawConnection& connection, const Options& options) {
  return Count(connection, "SELECT count(*) FROM \"" + options.table + "\"");
}

void PutBack(const RawConnection& connection, const Options& options, const TextRows& rows) {
  RawTransaction transaction(connection);
  std::string marks = "?";
  for (std::size_t column = 1; column < rows.types.size(); ++column) marks += ", ?";
  ExecuteArray(connection, "INSERT INTO \"" + options.table + "\" VALUES (" + marks + ")", rows.rows, rows.types);
  transaction.Commit();
}

void DeleteByKey(const RawConnection& connection, const Options& options, const std::vector<TextRow>& keys) {
  RawTransaction transaction(connection);
  ExecuteArray(connection, "DELETE FROM \"" + options.table + "\" WHERE id = ?", keys, {SQL_INTEGER});
  transaction.Commit();
}

ui::RecordsetModel& OpenGrid(ui::DataGrid& grid, const Options& options, int rows) {
  ShowGrid(grid);
  BindTable(grid, options);
  FillScreen(grid);
  ui::RecordsetModel& model = *grid.recordsetModel();
  QObject::connect(&model, &ui::RecordsetModel::writeFailed,
                   [](const QString& message) { std::fprintf(stderr, "write failed: %s\n", qPrintable(message)); });
  // Read before, as the user scrolled there.
  if (model.rowsMissingFor(0, rows) > 0) throw std::runtime_error("the table has too few rows");
  return model;
}

}  // namespace

Metrics AppPaste(const Options& options) {
  ui::DataGrid grid;
  ui::RecordsetModel& model = OpenGrid(grid, options, BlockRows);
  QList<QStringList> lines;
  for (int index = 0; index < BlockRows; ++index) {
    QStringList line;
    for (const auto& value : PastedRow("app", index)) line << QString::fromStdString(*value);
    lines << line;
  }
  const double start = Now();
  const bool pasted = model.pasteBlock(0, PasteColumn, lines);
  const double seconds = Now() - start;
  if (!pasted || model.index(BlockRows - 1, PasteColumn + 2).data().toString() != lines.last()[2])
    throw std::runtime_error("the paste was not stored");
  return {{"seconds", seconds}};
}

Metrics RawPaste(const Options& options) {
  RawConnection connection(options.dataSource);
  const bool postgres = DatabaseName(connection) == "PostgreSQL";
  const TextRows old = ReadTexts(connection, "SELECT id, created, qty, note, status FROM \"" + options.table + "\"",
                                 BlockRows);
  // Each row only while the cells pasted over still hold what was read.
  const std::string same = postgres ? " IS NOT DISTINCT FROM ?" : " IS ?";
  std::vector<TextRow> sets;
  for (int index = 0; index < BlockRows; ++index) {
    TextRow set = PastedRow("raw", index);
    set.push_back(old.rows.at(static_cast<std::size_t>(index))[0]);
    set.insert(set.end(), old.rows[static_cast<std::size_t>(index)].begin() + 1,
               old.rows[static_cast<std::size_t>(index)].end());
    sets.push_back(std::move(set));
  }
  std::vector<SQLSMALLINT> types(old.types.begin() + 1, old.types.end());
  types.push_back(old.types[0]);
  types.insert(types.end(), old.types.begin() + 1, old.types.end());
  const double start = Now();
  RawTransaction transaction(connection);
  ExecuteArray(connection,
               "UPDATE \"" + options.table + "\" SET created = ?, qty = ?, note = ?, status = ? "
               "WHERE id = ? AND created" + same + " AND qty" + same + " AND note" + same + " AND status" + same,
               sets, types);
  transaction.Commit();
  const double seconds = Now() - start;
  if (const long changed = RowsPasted(connection, options, "raw"); changed != BlockRows)
    throw std::runtime_error("the paste changed " + std::to_string(changed) + " rows");
  return {{"seconds", seconds}};
}

Metrics AppDeleteRows(const Options& options) {
  RawConnection connection(options.dataSource);
  // The rows to put back afterwards, as the grid shows them.
  TextRows rows = ReadTexts(connection, SelectAll(options) + " WHERE 1 = 0", 0);
  double seconds = 0;
  {
    ui::DataGrid grid;
    ui::RecordsetModel& model = OpenGrid(grid, options, BlockRows);
    QList<int> selected;
    for (int row = 0; row < BlockRows; ++row) {
      selected << row;
      TextRow values;
      for (int column = 0; column < model.columnCount(); ++column) {
        const QModelIndex index = model.index(row, column);
        if (index.data(ui::RecordsetModel::NullRole).toBool())
          values.emplace_back();
        else
          values.emplace_back(index.data(Qt::EditRole).toString().toStdString());
      }
      rows.rows.push_back(std::move(values));
    }
    const int before = model.rowCount();
    const double start = Now();
    const bool deleted = model.deleteRows(selected);
    seconds = Now() - start;
    if (!deleted || model.rowCount() != before - BlockRows) throw std::runtime_error("the rows were not deleted");
  }
  PutBack(connection, options, rows);
  return {{"seconds", seconds}};
}

Metrics RawDeleteRows(const Options& options) {
  RawConnection connection(options.dataSource);
  const TextRows rows = FirstRows(connection, options);
  std::vector<TextRow> keys;
  for (const TextRow& row : rows.rows) keys.push_back({row[0]});
  const long before = TableRows(connection, options);
  const double start = Now();
  RawTransaction transaction(connection);
  ExecuteArray(connection, "DELETE FROM \"" + options.table + "\" WHERE id = ?", keys, {rows.types[0]});
  transaction.Commit();
  const double seconds = Now() - start;
  if (const long deleted = before - TableRows(connection, options); deleted != BlockRows)
    throw std::runtime_error("the delete removed " + std::to_string(deleted) + " rows");
  PutBack(connection, options, rows);
  return {{"seconds", seconds}};
}

Metrics AppAddRow(const Options& options) {
  std::vector<double> times;
  std::vector<TextRow> added;
  {
    ui::DataGrid grid;
    ui::RecordsetModel& model = OpenGrid(grid, options, ScreenRows);
    for (int index = 0; index < Adds; ++index) {
      const double start = Now();
      if (!model.openNewRow(0)) throw std::runtime_error("no row could be added");
      const int row = model.newRowIndex();
      model.setData(model.index(row, 0), QString::fromStdString(AddedKey(index)), Qt::EditRole);
      model.setData(model.index(row, 1), QString::fromStdString(Tag("app add", index)), Qt::EditRole);
      model.setData(model.index(row, 5), "added", Qt::EditRole);
      if (!model.storeNewRow()) throw std::runtime_error("the new row was not stored");
      times.push_back(Now() - start);
      added.push_back({model.index(row, 0).data().toString().toStdString()});
    }
  }
  DeleteByKey(RawConnection(options.dataSource), options, added);
  return Distribution("add", times);
}

Metrics RawAddRow(const Options& options) {
  RawConnection connection(options.dataSource);
  const bool postgres = DatabaseName(connection) == "PostgreSQL";
  const std::string insert = "INSERT INTO \"" + options.table + "\" (id, customer, note) VALUES (?, ?, ?)";
  std::vector<double> times;
  std::vector<TextRow> added;
  for (int index = 0; index < Adds; ++index) {
    const TextRow values{AddedKey(index), Tag("raw add", index), std::string("added")};
    const std::vector<SQLSMALLINT> types{SQL_INTEGER, SQL_VARCHAR, SQL_VARCHAR};
    const double start = Now();
    // The row as stored, read back: in the insert itself where it can be.
    TextRows row;
    if (postgres) {
      row = ReadTexts(connection, insert + " RETURNING *", 1, values, types);
    } else {
      ExecuteArray(connection, insert, {values}, types);
      row = ReadTexts(connection, SelectAll(options) + " WHERE rowid = last_insert_rowid()", 1);
    }
    times.push_back(Now() - start);
    if (row.rows.size() != 1) throw std::runtime_error("the new row was not read back");
    added.push_back({row.rows[0][0]});
  }
  DeleteByKey(connection, options, added);
  return Distribution("add", times);
}

}  // namespace bench

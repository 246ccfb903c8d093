// Rows pasted over, deleted and added: the program through its grid model,
// the baseline with plain ODBC calls, parameter arrays and one transaction.
// Each puts the table back as it found it, outside the time measured, also
// where the measurement fails: the cases after it find the same table.
#include <QCoreApplication>
#include <QObject>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <unistd.h>

#include "AppGrid.h"
#include "Cases.h"
#include "Measure.h"
#include "RawBatch.h"
#include "platform/ado/Recordset.h"
#include "platform/ui/RecordsetModel.h"

namespace bench {
namespace {

constexpr int BlockRows = 1000;
constexpr int Adds = 20;
constexpr int PasteColumn = 3;  // created, qty, note, status
const char* const PastedNote = "pasted";
const char* const PastedColumns = "created, qty, note, status";

// A key no generated order has, that another run at the same time does not
// take either.
std::string AddedKey(int index) { return std::to_string(100000000L + getpid() % 100000 * 100L + index); }

std::vector<TextRow> AddedKeys() {
  std::vector<TextRow> keys;
  for (int index = 0; index < Adds; ++index) keys.push_back({AddedKey(index)});
  return keys;
}

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

std::string Table(const RawConnection& connection, const Options& options) { return connection.Quote(options.table); }

// The first rows in the table's order, as the grid shows them first.
TextRows FirstRows(const RawConnection& connection, const Options& options, const std::string& columns = "*") {
  TextRows rows = ReadTexts(connection, "SELECT " + columns + " FROM " + Table(connection, options) + " ORDER BY " +
                                            options.key, BlockRows);
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
  return Count(connection, "SELECT count(*) FROM " + Table(connection, options) + " WHERE note LIKE '" + PastedNote +
                               " " + impl + " " + std::to_string(getpid()) + " %'");
}

long TableRows(const RawConnection& connection, const Options& options) {
  return Count(connection, "SELECT count(*) FROM " + Table(connection, options));
}

// Runs `measure`, then `putBack`, which runs also where `measure` throws.
Metrics PuttingBack(const std::function<Metrics()>& measure, const std::function<void()>& putBack) {
  Metrics metrics;
  try {
    metrics = measure();
  } catch (...) {
    try {
      putBack();
    } catch (const std::exception& failure) {
      std::fprintf(stderr, "putting the table back failed as well: %s\n", failure.what());
    }
    throw;
  }
  putBack();
  return metrics;
}

void DeleteByKey(const RawConnection& connection, const Options& options, const std::vector<TextRow>& keys) {
  ExecuteArray(connection, "DELETE FROM " + Table(connection, options) + " WHERE " + options.key + " = ?", keys,
               {SQL_INTEGER});
}

// The rows, whole, as they were: those still there are replaced.
void PutRowsBack(const RawConnection& connection, const Options& options, const TextRows& rows) {
  RawTransaction transaction(connection);
  std::vector<TextRow> keys;
  for (const TextRow& row : rows.rows) keys.push_back({row[0]});
  DeleteByKey(connection, options, keys);
  std::string marks = "?";
  for (std::size_t column = 1; column < rows.types.size(); ++column) marks += ", ?";
  ExecuteArray(connection, "INSERT INTO " + Table(connection, options) + " VALUES (" + marks + ")", rows.rows,
               rows.types);
  transaction.Commit();
}

// The pasted cells as they were, by key; `old` holds the key, then the
// pasted columns.
void PutPastedBack(const RawConnection& connection, const Options& options, const TextRows& old) {
  std::vector<TextRow> sets;
  for (const TextRow& row : old.rows) {
    TextRow set(row.begin() + 1, row.end());
    set.push_back(row[0]);
    sets.push_back(std::move(set));
  }
  std::vector<SQLSMALLINT> types(old.types.begin() + 1, old.types.end());
  types.push_back(old.types[0]);
  RawTransaction transaction(connection);
  ExecuteArray(connection, "UPDATE " + Table(connection, options) +
                               " SET created = ?, qty = ?, note = ?, status = ? WHERE " + options.key + " = ?",
               sets, types);
  transaction.Commit();
}

void DeleteAdded(const Options& options) {
  RawConnection connection(options.dataSource);
  RawTransaction transaction(connection);
  DeleteByKey(connection, options, AddedKeys());
  transaction.Commit();
}

ui::RecordsetModel& OpenGrid(ui::DataGrid& grid, const Options& options, int rows) {
  ShowGrid(grid);
  BindTable(grid, options);
  FillScreen(grid);
  ui::RecordsetModel& model = *grid.recordsetModel();
  // The scroll bar sized, as it is by the time a user has selected rows.
  while (grid.dataSource()->windowed() && model.tableRows() < grid.dataSource()->rowCount())
    QCoreApplication::processEvents();
  QObject::connect(&model, &ui::RecordsetModel::writeFailed,
                   [](const QString& message) { std::fprintf(stderr, "write failed: %s\n", qPrintable(message)); });
  // Read before, as the user scrolled there.
  if (model.rowsMissingFor(0, rows) > 0) throw std::runtime_error("the table has too few rows");
  return model;
}

// What the driver offers to compare a column with a bound value, NULL
// equal to NULL.
std::string SameAs(const RawConnection& connection) {
  const std::string database = DatabaseName(connection);
  if (database == "PostgreSQL") return " IS NOT DISTINCT FROM ?";
  if (database == "MariaDB" || database == "MySQL") return " <=> ?";
  return " IS ?";
}

}  // namespace

Metrics AppPaste(const Options& options) {
  RawConnection connection(options.dataSource);
  const TextRows old = FirstRows(connection, options, options.key + ", " + PastedColumns);
  return PuttingBack(
      [&] {
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
        return Metrics{{"seconds", seconds}};
      },
      [&] { PutPastedBack(connection, options, old); });
}

Metrics RawPaste(const Options& options) {
  RawConnection connection(options.dataSource);
  const TextRows old = FirstRows(connection, options, options.key + ", " + PastedColumns);
  // Each row only while the cells pasted over still hold what was read.
  const std::string same = SameAs(connection);
  std::vector<TextRow> sets;
  for (int index = 0; index < BlockRows; ++index) {
    const TextRow& row = old.rows.at(static_cast<std::size_t>(index));
    TextRow set = PastedRow("raw", index);
    set.push_back(row[0]);
    set.insert(set.end(), row.begin() + 1, row.end());
    sets.push_back(std::move(set));
  }
  std::vector<SQLSMALLINT> types(old.types.begin() + 1, old.types.end());
  types.push_back(old.types[0]);
  types.insert(types.end(), old.types.begin() + 1, old.types.end());
  return PuttingBack(
      [&] {
        const double start = Now();
        RawTransaction transaction(connection);
        ExecuteArray(connection,
                     "UPDATE " + Table(connection, options) + " SET created = ?, qty = ?, note = ?, status = ? "
                     "WHERE " + options.key + " = ? AND created" + same + " AND qty" + same + " AND note" + same +
                         " AND status" + same,
                     sets, types);
        transaction.Commit();
        const double seconds = Now() - start;
        if (const long changed = RowsPasted(connection, options, "raw"); changed != BlockRows)
          throw std::runtime_error("the paste changed " + std::to_string(changed) + " rows");
        return Metrics{{"seconds", seconds}};
      },
      [&] { PutPastedBack(connection, options, old); });
}

Metrics AppDeleteRows(const Options& options) {
  RawConnection connection(options.dataSource);
  const TextRows rows = FirstRows(connection, options);
  return PuttingBack(
      [&] {
        ui::DataGrid grid;
        ui::RecordsetModel& model = OpenGrid(grid, options, BlockRows);
        QList<int> selected;
        for (int row = 0; row < BlockRows; ++row) {
          selected << row;
          if (model.index(row, 0).data().toString().toStdString() != rows.rows[static_cast<std::size_t>(row)][0])
            throw std::runtime_error("the grid shows other rows first than the table's order");
        }
        // The table's rows: a page of a large table fills up again.
        const std::size_t before = model.tableRows();
        const double start = Now();
        const bool deleted = model.deleteRows(selected);
        const double seconds = Now() - start;
        if (!deleted) throw std::runtime_error("the rows were not deleted");
        if (model.tableRows() != before - BlockRows)
          throw std::runtime_error("the grid has " + std::to_string(model.tableRows()) + " rows after the delete, " +
                                   std::to_string(before) + " before");
        return Metrics{{"seconds", seconds}};
      },
      [&] { PutRowsBack(connection, options, rows); });
}

Metrics RawDeleteRows(const Options& options) {
  RawConnection connection(options.dataSource);
  const TextRows rows = FirstRows(connection, options);
  std::vector<TextRow> keys;
  for (const TextRow& row : rows.rows) keys.push_back({row[0]});
  const long before = TableRows(connection, options);
  return PuttingBack(
      [&] {
        const double start = Now();
        RawTransaction transaction(connection);
        ExecuteArray(connection, "DELETE FROM " + Table(connection, options) + " WHERE " + options.key + " = ?", keys,
                     {rows.types[0]});
        transaction.Commit();
        const double seconds = Now() - start;
        if (const long deleted = before - TableRows(connection, options); deleted != BlockRows)
          throw std::runtime_error("the delete removed " + std::to_string(deleted) + " rows");
        return Metrics{{"seconds", seconds}};
      },
      [&] { PutRowsBack(connection, options, rows); });
}

Metrics AppAddRow(const Options& options) {
  return PuttingBack(
      [&] {
        std::vector<double> times;
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
          if (model.index(row, 0).data().toString().toStdString() != AddedKey(index))
            throw std::runtime_error("the new row shows another key");
        }
        return Distribution("add", times);
      },
      [&] { DeleteAdded(options); });
}

Metrics RawAddRow(const Options& options) {
  RawConnection connection(options.dataSource);
  const std::string database = DatabaseName(connection);
  const std::string table = Table(connection, options);
  const std::string insert = "INSERT INTO " + table + " (" + options.key + ", customer, note) VALUES (?, ?, ?)";
  return PuttingBack(
      [&] {
        std::vector<double> times;
        for (int index = 0; index < Adds; ++index) {
          const TextRow values{AddedKey(index), Tag("raw add", index), std::string("added")};
          const std::vector<SQLSMALLINT> types{SQL_INTEGER, SQL_VARCHAR, SQL_VARCHAR};
          const double start = Now();
          // The row as stored, read back: in the insert itself where it can
          // be, else by what names it.
          TextRows row;
          if (database == "PostgreSQL") {
            row = ReadTexts(connection, insert + " RETURNING *", 1, values, types);
          } else {
            ExecuteArray(connection, insert, {values}, types);
            row = database == "SQLite"
                      ? ReadTexts(connection, "SELECT * FROM " + table + " WHERE rowid = last_insert_rowid()", 1)
                      : ReadTexts(connection, "SELECT * FROM " + table + " WHERE " + options.key + " = ?", 1,
                                  {values[0]}, {types[0]});
          }
          times.push_back(Now() - start);
          if (row.rows.size() != 1 || row.rows[0][0] != values[0])
            throw std::runtime_error("the new row was not read back");
        }
        return Distribution("add", times);
      },
      [&] { DeleteAdded(options); });
}

}  // namespace bench

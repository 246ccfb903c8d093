#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ado {

class OdbcConnection;
class OdbcStatement;
struct ColumnInfo;

// How the rows of one table are read so that each of them can be found
// again exactly: the columns the user sees, then hidden columns that carry
// the row's identity in the database's own terms.
//
// - PostgreSQL: the row's table (tableoid, for inheriting tables and
//   partitions), its physical address (ctid) and its version (xmin). Any
//   change of the row by anyone gives it a new version.
// - SQLite, rowid tables: the rowid, read in rowid order.
// - SQLite, WITHOUT ROWID tables: the primary key.
// - SQLite, both: one text per row naming the cells whose storage class is
//   not the one their column usually holds, and the exact value of REAL
//   cells whose text form does not give the stored number back (see
//   SqliteCellStorage).
// - Other drivers: the primary key the catalogue names.
struct TableRead {
  enum class Identity { PostgresTuple, SqliteRowid, SqliteKey, PrimaryKey, None };

  Identity identity = Identity::None;
  std::string tableName;
  std::string quotedTable;
  std::vector<std::string> quotedColumns;  // visible columns, in order
  std::string visibleList;                 // what the visible columns are read as
  std::vector<std::string> hiddenColumns;  // read after the visible ones
  std::string orderBy;
  std::string unavailable;                 // why rows cannot be written, if so

  // SQLite: the name the rowid is read by, the column that is the rowid
  // itself (INTEGER PRIMARY KEY), and the storage class each column holds
  // unless marked ('t' text, 'i' integer, 'r' real).
  std::string rowidName;
  std::optional<int> rowidColumn;
  std::vector<char> usualStorage;
  // Visible columns of the primary key, where one is known.
  std::vector<int> key;
  // Per visible column: an emptied cell stores the empty text, not NULL.
  std::vector<bool> holdsText;

  int hiddenCount() const { return static_cast<int>(hiddenColumns.size()); }
  std::string SelectList() const;
  std::string Query() const;
  // The rows after the given rowid, in the same order (SQLite rowid tables).
  std::string QueryAfter(long long rowid) const;

  // Hidden column positions, counted from the first hidden column.
  static constexpr int TableOid = 0, Ctid = 1, Xmin = 2;  // PostgreSQL
  static constexpr int Rowid = 0;                          // SQLite rowid tables
  int storageMarks() const;                                // SQLite: position of the marks text
  bool hasStorageMarks() const { return identity == Identity::SqliteRowid || identity == Identity::SqliteKey; }
};

// Learns how the named table is read. Raises Error when the data source
// cannot describe it.
TableRead PlanTableRead(OdbcConnection& connection, const std::string& table);

// Other drivers, when the first write is prepared: the primary key the
// catalogue names, matched to the result's columns. Does nothing for
// SQLite and PostgreSQL, whose rows carry their identity.
void ResolvePlainKey(OdbcConnection& connection, TableRead& read, const std::vector<ColumnInfo>& columns);

// After the first execution of a PostgreSQL read, from the description of
// its result: learns the visible columns and, where the driver's text of a type loses part of
// the value (time zones, infinity, eras), has those columns read as the
// server's own text. True when the query changed and must run again.
bool DescribePostgresColumns(TableRead& read, const std::vector<ColumnInfo>& described);

}  // namespace ado

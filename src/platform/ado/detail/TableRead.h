#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/ado/ForeignKey.h"
#include "platform/ado/ColumnInfo.h"
#include "RowEffects.h"
#include "StoredRow.h"

namespace ado {

class Dialect;
class OdbcConnection;
class OdbcStatement;
// How the rows of one table are read so that each of them can be found
// again exactly: the columns the user sees, then hidden columns that carry
// the row's identity in the database's own terms.
//
// - PostgreSQL: the row's table (tableoid, only where other tables inherit
//   from it or it has partitions), its physical address (ctid) and its
//   version (xmin), each a hidden column. Any change of the row by anyone gives it a
//   new version. Views and foreign tables are read-only.
// - SQLite, rowid tables: the rowid, read in rowid order.
// - SQLite, WITHOUT ROWID tables: the primary key.
// - SQLite, both: one text per row naming the cells whose storage class is
//   not the one their column usually holds, and the exact value of REAL
//   cells whose text form does not give the stored number back (see
//   SqliteCellStorage); NULL where there is nothing to mark. A column that
//   is the rowid itself (INTEGER PRIMARY KEY) is not read twice.
// - MariaDB/MySQL: the primary key, else a unique key over columns that
//   cannot hold NULL; without either the rows are read-only. Dates and bits
//   are read as text, which keeps zero dates and every bit.
// - Other drivers: the primary key the catalogue names.
struct TableRead {
  enum class Identity { PostgresTuple, SqliteRowid, SqliteKey, PrimaryKey, None };

  Identity identity = Identity::None;
  // The database's, which plans the reads and writes of the rows.
  const Dialect* dialect = nullptr;
  std::string tableName;
  std::string quotedTable;
  std::vector<std::string> quotedColumns;  // visible columns, in order
  // The visible columns' own names, where the driver hands over others
  // (SQLite's drops everything up to a dot); empty: the driver's.
  std::vector<std::string> columnNames;
  std::string visibleList;                 // what the visible columns are read as
  std::vector<std::string> hiddenColumns;  // read after the visible ones
  std::string orderBy;
  // The table's own order, in which each row has its place: what "row N"
  // is. SQLite: the rowid, or the primary key of a WITHOUT ROWID table;
  // PostgreSQL: the primary key, else the physical place (ctid), which the
  // first read takes without sorting; MariaDB: the key. Empty: the server's
  // order, which nothing keeps.
  std::vector<std::string> orderKeys;
  // PostgreSQL: the visible columns of the primary key the order goes by.
  std::vector<int> orderColumns;
  // Learned as the table opens.
  std::vector<ForeignKey> foreignKeys;
  std::string unavailable;                 // why rows cannot be written, if so
  bool rowSecurity = false;                // PostgreSQL: policies may keep rows from a write
  // What a write may do to other rows of the table, learned with the
  // writer's first questions (see TableWriter).
  RowEffects effects;

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
  // Per visible column: computed by the database from other columns, never
  // given a value.
  std::vector<bool> generated;
  bool Generated(int column) const {
    return column >= 0 && static_cast<std::size_t>(column) < generated.size() && generated[column];
  }
  // Why the table keeps no transactions (its storage engine), where it
  // does not: a write of several rows could not be all or none.
  std::string withoutTransactions;
  // PostgreSQL: per visible column that is read as text to keep its value
  // whole, the table's own name of its type (empty for the others).
  std::vector<std::string> typesReadAsText;
  // PostgreSQL: per visible column, the name of the type it holds at bottom
  // (a domain's base type).
  std::vector<std::string> baseTypes;
  // SQLite: per visible column, whether it is declared NOT NULL (the driver
  // does not say).
  std::vector<bool> notNull;
  // MariaDB: per visible column, what tells whether the column holds exactly
  // one value bound as text ("... = ?"); empty where nothing does. The
  // columns come from the database's catalogue, which decides what may be
  // written.
  std::vector<std::string> exactMatch;
  bool knownColumns = false;
  // Per visible column, what a value bound as text is written as, where not
  // as itself ("?"): MariaDB takes text for a bit column as raw bytes.
  std::vector<std::string> valueAs;
  std::string ValueMarker(int column) const;

  int hiddenCount() const { return static_cast<int>(hiddenColumns.size()); }
  // Where more cells than a result may hold are read: the cells from this
  // one on (visible, then hidden) come packed in one last column (see
  // PackedCells), described beforehand as `packedColumns`; -1: none are.
  int packedFrom = -1;
  std::vector<ColumnInfo> packedColumns;
  std::string SelectList() const;
  // The same with other expressions for the hidden columns.
  std::string SelectListWith(const std::vector<std::string>& hidden) const;
  std::string Query() const;
  // The rows after the given rowid, in the same order (SQLite rowid tables).
  // `skipped`: rowids of rows already shown that the read would meet again.
  std::string QueryAfter(long long rowid, const std::vector<long long>& skipped = {}) const;

  // PostgreSQL: the table's own oid; the row's identity is in the hidden
  // columns (see the PostgreSQL dialect).
  std::string ownOid;
  // PostgreSQL: the planner's estimate of the table's rows when it was
  // planned (negative or 0: never analysed).
  std::optional<long long> plannedRows;
  // SQLite: where in a row the rowid and the storage marks are (-1: not
  // read). A marks cell that is NULL marks nothing.
  int rowidAt = -1;
  int marksAt = -1;
  bool hasStorageMarks() const { return marksAt >= 0; }
};

// Learns how the named table is read. Raises Error when the data source
// cannot describe it.
TableRead PlanTableRead(OdbcConnection& connection, const std::string& table);

// When the first write is prepared: what finds a row again, where only the
// described result tells (see Dialect::ResolveKey).
void ResolveKey(OdbcConnection& connection, TableRead& read, const std::vector<ColumnInfo>& columns);

}  // namespace ado

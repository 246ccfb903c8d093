#pragma once

#include <optional>
#include <string>
#include <vector>

#include "BoundParameters.h"
#include "platform/ado/Recordset.h"
#include "StoredRow.h"
#include "TableRead.h"

namespace ado {

// A change the user made to one read row.
struct CellChange {
  int column = 0;
  std::optional<std::string> value;  // std::nullopt: NULL
  // SQLite: the storage class a value put back as it was stored goes in
  // with ('i', 'r', 't', 'b'); 0: as the column's affinity makes it.
  char storage = 0;
  bool operator==(const CellChange&) const = default;
};

struct PlannedStatement {
  std::string sql;
  BoundParameters parameters;
  long expectedRows = 1;       // a write: anything else is undone
  bool returnsRows = false;    // hands the changed rows back (RETURNING)
};

// Turns changes into statements that reach exactly the rows meant, found by
// their identity in the database's own terms and, where the database has
// no row versions, the exact stored value of the changed cell.
class ChangePlanner {
 public:
  ChangePlanner(const TableRead& read, const std::vector<ColumnInfo>& columns) : read_(read), columns_(columns) {}

  // Empty when cells of the column can be written, otherwise why not.
  std::string ReadOnlyReason(int column) const;

  PlannedStatement UpdateCell(const StoredRow& original, const CellChange& change) const;
  // Several cells of one row in one statement.
  PlannedStatement UpdateRow(const StoredRow& original, const std::vector<CellChange>& changes) const;
  // Deletes exactly the row as it was read.
  PlannedStatement DeleteRow(const StoredRow& original) const;
  // PostgreSQL: deletes rows of the table itself, each in the version read,
  // in one statement (which must reach all of them); empty elsewhere.
  std::optional<PlannedStatement> DeleteTuples(const std::vector<StoredRow>& originals) const;
  // A new row with the given cells and the database's defaults for the
  // rest; on PostgreSQL it hands the stored row back.
  PlannedStatement InsertRow(const std::vector<CellChange>& cells) const;
  // Reads back the row just inserted, on the writer before it commits:
  // SQLite by the rowid the insert gave, else by the key the user gave;
  // empty where nothing names the new row for sure.
  std::optional<PlannedStatement> ReadInserted(const std::vector<CellChange>& cells) const;

  // Whether a row that is no longer as read can be found again at all.
  bool CanFindAgain() const;

  // Reads the row again by its identity; `change` is one that was stored,
  // which may have changed the identity itself.
  // `justWritten`: right after our own write, when the row's physical
  // identity (rowid) still names it, whatever its key holds.
  PlannedStatement ReadRow(const StoredRow& original, const std::optional<CellChange>& change = {},
                           bool justWritten = false) const;
  // PostgreSQL: the row by its primary key, whatever its version; empty when
  // the key is not known.
  std::optional<PlannedStatement> ReadRowByKey(const StoredRow& original,
                                               const std::vector<std::pair<int, std::string>>& key) const;
  // PostgreSQL: the row only in the version that was read.
  PlannedStatement ReadRowVersion(const StoredRow& original) const;

 private:
  // " AND ..." what makes a write reach the row only while it holds what
  // was read; no changed columns: the whole row.
  std::string StillAsRead(const StoredRow& original, const std::vector<int>& changedColumns,
                          BoundParameters& parameters) const;
  // Where a changed value goes in the statement.
  std::string Slot(const CellChange& change) const;
  // A BLOB goes as bytes, in a column of any type.
  void AddValue(const CellChange& change, BoundParameters& parameters) const;
  PostgresTuple Tuple(const StoredRow& row) const;
  // What the statement names: the table, or only the table itself.
  std::string Target(const StoredRow& row) const;
  std::string TupleMatch(const StoredRow& row, BoundParameters& parameters, bool withVersion) const;
  std::string SqliteMatch(const StoredRow& row, int column, BoundParameters& parameters) const;
  std::string PlainMatch(const StoredRow& row, int column, BoundParameters& parameters) const;
  static std::string PlainMatchOf(const std::string& column, const std::optional<std::string>& value,
                                  BoundParameters& parameters);
  // `forWrite`: the match of the write itself, or of a read right after it,
  // rather than of a read some time after.
  std::string IdentityMatch(const StoredRow& row, const std::optional<CellChange>& change,
                            BoundParameters& parameters, bool forWrite) const;
  bool ExactlyComparable(int column) const;

  const TableRead& read_;
  const std::vector<ColumnInfo>& columns_;
};

}  // namespace ado

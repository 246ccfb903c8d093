#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dialect/Dialect.h"
#include "PlannedStatement.h"
#include "platform/ado/ColumnInfo.h"
#include "StoredRow.h"
#include "TableRead.h"

namespace ado {

// Turns changes into statements that reach exactly the rows meant: each
// named as the table's dialect names a row, and kept off a row that is no
// longer as read.
class ChangePlanner {
 public:
  ChangePlanner(const TableRead& read, const std::vector<ColumnInfo>& columns) : read_(read), columns_(columns) {}

  const Dialect& dialect() const { return *read_.dialect; }
  WriteShape shape() const { return {read_, columns_}; }

  // Empty when cells of the column can be written, otherwise why not.
  std::string ReadOnlyReason(int column) const;
  // Whether a new row may give the column a value: every column but those
  // the database computes (and, unless `numbered`, those it numbers). A
  // column that cannot be compared exactly cannot be edited, but a row put
  // back takes its value as it was stored.
  bool Insertable(int column, bool numbered) const;

  // Several cells of one row in one statement. `checkColumns`: the
  // statement also makes sure the table's columns are still those read,
  // where the database lets every write do so; the first statement of a
  // write that reaches the table does it for all after it, since the
  // table's columns cannot change under a write in progress.
  PlannedStatement UpdateRow(const StoredRow& original, const std::vector<CellChange>& changes,
                             bool checkColumns = true) const;
  // Deletes exactly the row as it was read.
  PlannedStatement DeleteRow(const StoredRow& original, bool checkColumns = true) const;
  // Deletes rows in one statement, which must reach all of them; none where
  // the database offers no such form.
  std::optional<PlannedStatement> DeleteAtOnce(const std::vector<StoredRow>& originals) const;
  // A new row with the given cells and the database's defaults for the
  // rest; where the database can, it hands the stored row back.
  PlannedStatement InsertRow(const std::vector<CellChange>& cells) const;
  // Reads back the row just inserted, on the writer before it commits;
  // none where nothing names the new row for sure.
  std::optional<PlannedStatement> ReadInserted(const std::vector<CellChange>& cells) const;
  // Reads a row right after our own write of it, on the writer before it
  // commits; `keyChange`: a change of a column that names the row.
  PlannedStatement ReadBack(const StoredRow& original, const std::optional<CellChange>& keyChange) const;
  // Reads the row by its identity, as it was read.
  PlannedStatement ReadRow(const StoredRow& original) const;
  // Answers 1 while the table's columns are those read, else 0; none where
  // that cannot be told.
  std::optional<PlannedStatement> ColumnsAsRead() const;

 private:
  // " AND ..." what keeps every write off a table whose columns changed,
  // where the dialect checks that cheaply.
  std::string ColumnsStillAsRead(BoundParameters& parameters) const;

  const TableRead& read_;
  const std::vector<ColumnInfo>& columns_;
};

}  // namespace ado

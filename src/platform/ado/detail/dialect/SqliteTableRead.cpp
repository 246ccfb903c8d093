#include "TableReadPlans.h"

#include <algorithm>
#include <set>

#include "platform/ado/AdoError.h"
#include "../ColumnDescriber.h"
#include "../OdbcConnection.h"
#include "../OdbcStatement.h"
#include "../SqlText.h"
#include "../StatementRows.h"
#include "../TableRead.h"

namespace ado {
namespace {

// The storage class a column of the declared type holds unless a value
// says otherwise, by SQLite's rules of column affinity.
char UsualStorage(const std::string& declared) {
  const std::string type = Upper(declared);
  if (type.find("INT") != std::string::npos) return 'i';
  if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
      type.find("TEXT") != std::string::npos)
    return 't';
  if (type.empty() || type.find("BLOB") != std::string::npos) return 't';
  if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
      type.find("DOUB") != std::string::npos)
    return 'r';
  return 'i';  // NUMERIC affinity: mostly integers and reals
}

bool TextAffinity(const std::string& declared) {
  const std::string type = Upper(declared);
  if (type.find("INT") != std::string::npos) return false;
  return type.empty() || type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
         type.find("TEXT") != std::string::npos;
}

// The storage marks of one cell: empty when the cell holds what its column
// usually holds, else "index:class;" and, for a REAL whose text form does
// not give the stored number back, its exact value after the class; for
// text holding a NUL byte, "X" and its bytes in hexadecimal.
std::string CellMark(const std::string& c, std::size_t index, char usual) {
  const std::string at = "'" + std::to_string(index) + ":";
  std::string mark = "CASE typeof(" + c + ") WHEN 'null' THEN ''";
  mark += " WHEN 'real' THEN CASE WHEN CAST(CAST(" + c + " AS TEXT) AS REAL) = " + c + " THEN " +
          (usual == 'r' ? std::string("''") : at + "r;'") + " ELSE " + at + "r' || quote(" + c + ") || ';' END";
  if (usual == 'i') mark += " WHEN 'integer' THEN ''";
  // The driver hands text over only up to its first NUL byte; such text
  // comes whole in the marks, in hexadecimal.
  mark += " WHEN 'text' THEN CASE WHEN instr(CAST(" + c + " AS BLOB), x'00') > 0 THEN " + at + "tX' || hex(" + c +
          ") || ';' ELSE " + (usual == 't' ? std::string("''") : at + "t;'") + " END";
  mark += " ELSE " + at + "' || substr(typeof(" + c + "), 1, 1) || ';' END";
  return mark;
}

// True where the cell needs no mark; cheaper than the mark itself.
std::string CellUsual(const std::string& c, char usual) {
  if (usual == 'r')
    return "(typeof(" + c + ") = 'null' OR (typeof(" + c + ") = 'real' AND CAST(CAST(" + c + " AS TEXT) AS REAL) = " +
           c + "))";
  if (usual == 't')
    return "(typeof(" + c + ") = 'null' OR (typeof(" + c + ") = 'text' AND instr(CAST(" + c + " AS BLOB), x'00') = 0))";
  return "typeof(" + c + ") IN ('null', 'integer')";
}

// NULL for the rows whose cells all hold what their columns usually hold,
// which is nearly every row; the marks of the other cells otherwise.
std::string StorageMarks(const std::vector<std::string>& columns, const std::vector<char>& usual) {
  std::vector<std::string> marks;
  std::vector<std::string> usualCells;
  for (std::size_t index = 0; index < columns.size(); ++index) {
    marks.push_back(CellMark(columns[index], index, usual[index]));
    usualCells.push_back(CellUsual(columns[index], usual[index]));
  }
  if (marks.empty()) return "NULL";
  return "CASE WHEN " + Balanced(usualCells, "AND") + " THEN NULL ELSE " + Balanced(marks, "||") + " END";
}

// The INTEGER PRIMARY KEY column that is the rowid itself. Only a
// single-column key declared exactly INTEGER is; "INTEGER PRIMARY KEY DESC"
// keeps an index of origin "pk" instead.
std::optional<int> RowidColumn(OdbcConnection& connection, const std::string& quotedTable,
                               const std::vector<int>& key, const std::vector<std::string>& types) {
  if (key.size() != 1 || Upper(types[static_cast<std::size_t>(key[0])]) != "INTEGER") return std::nullopt;
  // index_list: seq, name, unique, origin, partial.
  for (const TextRow& row : QueryRows(connection, "PRAGMA index_list(" + quotedTable + ")"))
    if (row.size() >= 4 && row[3] && *row[3] == "pk") return std::nullopt;
  return key[0];
}

// The most columns a result may have (SQLITE_MAX_COLUMN as built).
constexpr int MaxResultColumns = 2000;

// A table of nearly as many columns as SQLite allows leaves no room for
// the hidden columns: the cells past what fits are read packed in one
// column, described here as they would be read one by one.
void PackWhatDoesNotFit(OdbcConnection& connection, TableRead& read) {
  const int cells = static_cast<int>(read.quotedColumns.size()) + read.hiddenCount();
  if (cells <= MaxResultColumns) return;
  read.packedFrom = MaxResultColumns - 1;
  std::vector<std::string> packed = read.quotedColumns;
  packed.insert(packed.end(), read.hiddenColumns.begin(), read.hiddenColumns.end());
  packed.erase(packed.begin(), packed.begin() + read.packedFrom);
  OdbcStatement statement(connection);
  statement.ExecDirect("SELECT " + Join(packed, ", ") + " FROM " + read.quotedTable + " WHERE 0");
  read.packedColumns = DescribeResultShape(statement);
  for (ColumnInfo& column : read.packedColumns) column.packed = true;
}

}  // namespace

void PlanSqliteRead(OdbcConnection& connection, TableRead& read) {
  // table_xinfo: cid, name, type, notnull, dflt_value, pk, hidden. Hidden
  // columns of virtual tables (1) are not part of SELECT *; generated
  // columns (2, 3) are.
  std::vector<std::string> names;
  std::vector<std::string> types;
  std::vector<std::pair<int, int>> keyOrder;
  for (const TextRow& row : QueryRows(connection, "PRAGMA table_xinfo(" + read.quotedTable + ")")) {
    if (row.size() < 7 || !row[1]) continue;
    if (row[6] && *row[6] == "1") continue;
    const int index = static_cast<int>(names.size());
    names.push_back(*row[1]);
    types.push_back(row[2].value_or(""));
    read.notNull.push_back(row[3] && *row[3] != "0");
    read.generated.push_back(row[6] && (*row[6] == "2" || *row[6] == "3"));
    if (row[5] && *row[5] != "0") keyOrder.emplace_back(std::stoi(*row[5]), index);
  }
  if (names.empty()) throw Error("The table " + read.quotedTable + " has no columns that can be read.");
  read.columnNames = names;
  // table_list: schema, name, type, ncol, wr, strict. Views and virtual
  // tables have no rows of their own to find again.
  bool plainTable = false;
  for (const TextRow& row : QueryRows(connection, "PRAGMA table_list(" + read.quotedTable + ")"))
    if (row.size() >= 3 && row[2] && *row[2] == "table") plainTable = true;
  std::ranges::sort(keyOrder);
  for (const auto& [order, index] : keyOrder) read.key.push_back(index);
  for (std::size_t index = 0; index < names.size(); ++index) {
    read.quotedColumns.push_back(connection.facts().Quote(names[index]));
    read.usualStorage.push_back(UsualStorage(types[index]));
    read.holdsText.push_back(TextAffinity(types[index]));
  }
  read.visibleList = Join(read.quotedColumns, ", ");

  // The rowid goes by three names; a column may have taken any of them.
  std::set<std::string> taken;
  for (const std::string& name : names) taken.insert(Lower(name));
  for (const char* alias : {"rowid", "_rowid_", "oid"})
    if (!taken.contains(alias)) {
      read.rowidName = alias;
      break;
    }
  bool rowidTable = false;
  if (!plainTable) {
    read.identity = TableRead::Identity::None;
    read.unavailable = "The rows do not come from one plain table, so a row cannot be found again to change it.";
    return;
  }
  if (!read.rowidName.empty()) {
    try {
      QueryRows(connection, "SELECT " + read.rowidName + " FROM " + read.quotedTable + " WHERE 0");
      rowidTable = true;
    } catch (const Error&) {
      // A WITHOUT ROWID table.
    }
  }
  const std::string marks = StorageMarks(read.quotedColumns, read.usualStorage);
  const int visible = static_cast<int>(names.size());
  if (rowidTable) {
    read.identity = TableRead::Identity::SqliteRowid;
    read.orderBy = " ORDER BY " + read.rowidName;
    read.orderKeys = {read.rowidName};
    read.rowidColumn = RowidColumn(connection, read.quotedTable, read.key, types);
    // A column that is the rowid itself carries it already.
    if (read.rowidColumn) {
      read.rowidAt = *read.rowidColumn;
    } else {
      read.rowidAt = visible;
      read.hiddenColumns.push_back(read.rowidName);
    }
    read.marksAt = visible + read.hiddenCount();
    read.hiddenColumns.push_back(marks);
    PackWhatDoesNotFit(connection, read);
  } else if (!read.key.empty()) {
    read.identity = TableRead::Identity::SqliteKey;
    for (int column : read.key) read.orderKeys.push_back(read.quotedColumns[static_cast<std::size_t>(column)]);
    read.orderBy = " ORDER BY " + Join(read.orderKeys, ", ");
    read.marksAt = visible;
    read.hiddenColumns = {marks};
    PackWhatDoesNotFit(connection, read);
  } else {
    read.identity = TableRead::Identity::None;
    read.unavailable = "The table has neither a rowid nor a primary key, so a row cannot be found again to change it.";
  }
}

}  // namespace ado

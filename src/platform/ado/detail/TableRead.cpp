#include "TableRead.h"

#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/ado/AdoError.h"
#include "CatalogQuery.h"
#include "platform/ado/Identifier.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "platform/ado/Recordset.h"
#include "StatementRows.h"

namespace ado {
namespace {

std::string Upper(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string Lower(std::string text) {
  std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string joined;
  for (const std::string& part : parts) joined += (joined.empty() ? "" : separator) + part;
  return joined;
}

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

// a || b || c as a balanced tree: SQLite limits the depth of an expression.
std::string Concatenated(const std::vector<std::string>& parts, std::size_t from, std::size_t to) {
  if (to - from == 1) return parts[from];
  const std::size_t middle = from + (to - from) / 2;
  return "(" + Concatenated(parts, from, middle) + " || " + Concatenated(parts, middle, to) + ")";
}

std::string StorageMarks(const std::vector<std::string>& columns, const std::vector<char>& usual) {
  std::vector<std::string> parts;
  for (std::size_t index = 0; index < columns.size(); ++index) {
    const std::string& c = columns[index];
    const std::string at = "'" + std::to_string(index) + ":";
    std::string mark = "CASE typeof(" + c + ") WHEN 'null' THEN ''";
    mark += " WHEN 'real' THEN CASE WHEN CAST(CAST(" + c + " AS TEXT) AS REAL) = " + c + " THEN " +
            (usual[index] == 'r' ? std::string("''") : at + "r;'") + " ELSE " + at + "r' || quote(" + c +
            ") || ';' END";
    if (usual[index] == 'i') mark += " WHEN 'integer' THEN ''";
    if (usual[index] == 't') mark += " WHEN 'text' THEN ''";
    mark += " ELSE " + at + "' || substr(typeof(" + c + "), 1, 1) || ';' END";
    parts.push_back(std::move(mark));
  }
  if (parts.empty()) return "''";
  return Concatenated(parts, 0, parts.size());
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
    if (row[5] && *row[5] != "0") keyOrder.emplace_back(std::stoi(*row[5]), index);
  }
  if (names.empty()) throw Error("The table " + read.quotedTable + " has no columns that can be read.");
  // table_list: schema, name, type, ncol, wr, strict. Views and virtual
  // tables have no rows of their own to find again.
  bool plainTable = false;
  for (const TextRow& row : QueryRows(connection, "PRAGMA table_list(" + read.quotedTable + ")"))
    if (row.size() >= 3 && row[2] && *row[2] == "table") plainTable = true;
  std::ranges::sort(keyOrder);
  for (const auto& [order, index] : keyOrder) read.key.push_back(index);
  for (std::size_t index = 0; index < names.size(); ++index) {
    read.quotedColumns.push_back(QuoteIdentifier(names[index]));
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
  if (rowidTable) {
    read.identity = TableRead::Identity::SqliteRowid;
    read.hiddenColumns = {read.rowidName, marks};
    read.orderBy = " ORDER BY " + read.rowidName;
    read.rowidColumn = RowidColumn(connection, read.quotedTable, read.key, types);
  } else if (!read.key.empty()) {
    read.identity = TableRead::Identity::SqliteKey;
    read.hiddenColumns = {marks};
  } else {
    read.identity = TableRead::Identity::None;
    read.unavailable = "The table has neither a rowid nor a primary key, so a row cannot be found again to change it.";
  }
}

bool LosesPartOfValue(const std::string& typeName) {
  // The PostgreSQL driver hands these back through a date structure of its
  // own: without the offset, with infinity as a far date, without the era.
  static const std::set<std::string> lossy = {
      "timestamptz", "timestamp", "date", "time", "timetz", "timestamp with time zone",
      "timestamp without time zone", "time with time zone", "time without time zone"};
  return lossy.contains(Lower(typeName));
}

bool HoldsText(const std::string& typeName) {
  static const std::set<std::string> text = {"text", "varchar", "bpchar", "char", "name", "citext",
                                             "character varying", "character"};
  return text.contains(Lower(typeName));
}

}  // namespace

std::string TableRead::SelectList() const {
  std::string list = visibleList;
  for (const std::string& hidden : hiddenColumns) list += ", " + hidden;
  return list;
}

std::string TableRead::Query() const { return "SELECT " + SelectList() + " FROM " + quotedTable + orderBy; }

std::string TableRead::QueryAfter(long long rowid) const {
  return "SELECT " + SelectList() + " FROM " + quotedTable + " WHERE " + rowidName + " > " + std::to_string(rowid) +
         orderBy;
}

int TableRead::storageMarks() const { return identity == Identity::SqliteRowid ? 1 : 0; }

TableRead PlanTableRead(OdbcConnection& connection, const std::string& table) {
  TableRead read;
  read.tableName = table;
  read.quotedTable = QuoteIdentifier(table);
  const DataSourceFacts& facts = connection.facts();
  if (facts.isSqlite()) {
    PlanSqliteRead(connection, read);
  } else if (facts.isPostgreSql()) {
    read.identity = TableRead::Identity::PostgresTuple;
    read.visibleList = "*";
    read.hiddenColumns = {"tableoid::text", "ctid::text", "xmin::text"};
  } else {
    read.visibleList = "*";
  }
  return read;
}

void ResolvePlainKey(OdbcConnection& connection, TableRead& read, const std::vector<ColumnInfo>& columns) {
  const DataSourceFacts& facts = connection.facts();
  if (facts.isSqlite() || facts.isPostgreSql() || read.tableName.empty()) return;
  read.quotedColumns.clear();
  read.holdsText.clear();
  std::vector<std::string> names;
  for (const ColumnInfo& column : columns) {
    names.push_back(column.baseColumn.empty() ? column.name : column.baseColumn);
    read.quotedColumns.push_back(QuoteIdentifier(names.back()));
    read.holdsText.push_back(column.isText());
  }
  read.identity = TableRead::Identity::None;
  read.unavailable =
      "The table has no primary key that the data source names, so a changed row could not be found again "
      "exactly; it is shown read-only.";
  std::vector<std::pair<int, std::string>> ordered;
  try {
    // COLUMN_NAME is column 4, KEY_SEQ column 5.
    for (const auto& row : PrimaryKeyColumns(connection, "", read.tableName))
      if (row.size() >= 5 && row[3] && row[4]) ordered.emplace_back(std::stoi(*row[4]), *row[3]);
  } catch (const Error&) {
    return;  // no catalogue: the rows stay read-only
  }
  std::ranges::sort(ordered);
  std::vector<int> key;
  for (const auto& [sequence, name] : ordered) {
    const auto found = std::ranges::find(names, name);
    if (found == names.end()) return;
    key.push_back(static_cast<int>(found - names.begin()));
  }
  if (key.empty()) return;
  read.key = std::move(key);
  read.identity = TableRead::Identity::PrimaryKey;
  read.unavailable.clear();
}

bool DescribePostgresColumns(TableRead& read, const std::vector<ColumnInfo>& described) {
  const std::size_t visible = described.size() - std::min(described.size(), read.hiddenColumns.size());
  bool lossy = false;
  std::vector<std::string> list;
  read.quotedColumns.clear();
  read.holdsText.clear();
  for (std::size_t index = 0; index < visible; ++index) {
    const ColumnInfo& column = described[index];
    const std::string quoted = QuoteIdentifier(column.name);
    read.quotedColumns.push_back(quoted);
    read.holdsText.push_back(HoldsText(column.typeName));
    if (LosesPartOfValue(column.typeName)) {
      lossy = true;
      list.push_back(quoted + "::text AS " + quoted);
    } else {
      list.push_back(quoted);
    }
  }
  if (!lossy) return false;
  read.visibleList = Join(list, ", ");
  return true;
}

}  // namespace ado

#include "TableReadPlans.h"

#include <algorithm>
#include <set>

#include "platform/ado/AdoError.h"
#include "OdbcConnection.h"
#include "SqlText.h"
#include "StatementRows.h"
#include "TableRead.h"

namespace ado {
namespace {

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

// The table's order: its primary key (each column's place in it, from the
// catalogue's rows), else its rows' physical places, which a read without
// ORDER BY follows as it is (sorting by them would read the whole table
// before the first row).
void PlanOrder(TableRead& read, const std::vector<TextRow>& rows, bool inherited) {
  std::vector<std::pair<int, int>> key;  // place in the key, column
  int column = 0;
  for (const TextRow& row : rows) {
    if (!row[3]) continue;
    if (row[6]) key.emplace_back(std::stoi(*row[6]), column);
    ++column;
  }
  std::ranges::sort(key);
  for (const auto& [place, index] : key) read.orderColumns.push_back(index);
  for (int index : read.orderColumns) read.orderKeys.push_back(read.quotedColumns[static_cast<std::size_t>(index)]);
  if (!read.orderKeys.empty()) {
    read.orderBy = " ORDER BY " + Join(read.orderKeys, ", ");
    return;
  }
  read.orderKeys = inherited ? std::vector<std::string>{"tableoid", "ctid"} : std::vector<std::string>{"ctid"};
}

}  // namespace

void PlanPostgresRead(OdbcConnection& connection, TableRead& read) {
  read.visibleList = "*";
  // In one round trip: the relation, whether other tables inherit from it,
  // whether it has row security, the planner's estimate of its rows, and
  // its columns with the type each holds at bottom (a domain's base type)
  // and its place in the primary key.
  std::vector<TextRow> rows;
  try {
    rows = QueryRows(connection,
                     "SELECT c.oid::text, c.relkind::text, c.relhassubclass::text, a.attname, "
                     "(SELECT b.typname FROM pg_type b "
                     "WHERE b.oid = CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE t.oid END), "
                     "c.relrowsecurity::text, array_position(i.indkey::int2[], a.attnum)::text, "
                     "CAST(c.reltuples AS bigint)::text "
                     "FROM pg_class c LEFT JOIN pg_attribute a "
                     "ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
                     "LEFT JOIN pg_type t ON t.oid = a.atttypid "
                     "LEFT JOIN pg_index i ON i.indrelid = c.oid AND i.indisprimary "
                     "WHERE c.oid = to_regclass(?) ORDER BY a.attnum",
                     {read.quotedTable});
  } catch (const Error&) {
  }
  if (rows.empty() || rows[0].size() < 8 || !rows[0][0] || !rows[0][1]) {
    read.unavailable = "The table could not be found in the database's catalogue, so a row cannot be found again "
                       "to change it.";
    return;
  }
  bool lossy = false;
  std::vector<std::string> list;
  for (const TextRow& row : rows) {
    if (!row[3]) continue;
    const std::string quoted = connection.facts().Quote(*row[3]);
    const std::string type = row[4].value_or("");
    read.quotedColumns.push_back(quoted);
    read.holdsText.push_back(HoldsText(type));
    read.baseTypes.push_back(type);
    lossy = lossy || LosesPartOfValue(type);
    read.typesReadAsText.push_back(LosesPartOfValue(type) ? type : std::string());
    list.push_back(LosesPartOfValue(type) ? quoted + "::text AS " + quoted : quoted);
  }
  if (lossy) read.visibleList = Join(list, ", ");
  const std::string kind = *rows[0][1];
  if (kind != "r" && kind != "p") {
    read.unavailable = "The rows do not come from one plain table, so a row cannot be found again to change it.";
    return;
  }
  read.identity = TableRead::Identity::PostgresTuple;
  read.ownOid = *rows[0][0];
  // One text per row: the table it lives in where other tables inherit,
  // then its physical place and version, as "16385(0,1)742".
  const bool inherited = rows[0][2] && (*rows[0][2] == "true" || *rows[0][2] == "1");
  read.rowSecurity = rows[0][5] && (*rows[0][5] == "true" || *rows[0][5] == "1");
  if (rows[0][7]) read.plannedRows = std::stoll(*rows[0][7]);
  read.hiddenColumns = {std::string(inherited || kind == "p" ? "tableoid::text || " : "") + "ctid::text || xmin::text"};
  PlanOrder(read, rows, inherited || kind == "p");
}

PostgresTuple PostgresTupleOf(const std::string& text, const std::string& ownOid) {
  const std::size_t open = text.find('(');
  const std::size_t close = text.find(')', open == std::string::npos ? 0 : open);
  if (open == std::string::npos || close == std::string::npos || close + 1 >= text.size())
    throw Error("The row's identity was not read, so it cannot be changed.");
  PostgresTuple tuple;
  tuple.tableOid = open == 0 ? ownOid : text.substr(0, open);
  tuple.ctid = text.substr(open, close + 1 - open);
  tuple.xmin = text.substr(close + 1);
  tuple.inOwnTable = !ownOid.empty() && tuple.tableOid == ownOid;
  return tuple;
}

}  // namespace ado

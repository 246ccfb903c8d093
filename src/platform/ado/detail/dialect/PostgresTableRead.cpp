#include "TableReadPlans.h"

#include <algorithm>
#include <set>
#include <utility>

#include "platform/ado/AdoError.h"
#include "../OdbcConnection.h"
#include "../SqlText.h"
#include "../StatementRows.h"
#include "../TableRead.h"

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

// The table's order: its primary key, else its rows' physical places,
// which a read without ORDER BY follows as it is (sorting by them would
// read the whole table before the first row). `keyPlaces`: per visible
// column, its place in the primary key (from 1), 0 outside it.
void PlanOrder(TableRead& read, const std::vector<int>& keyPlaces, bool inherited) {
  std::vector<std::pair<int, int>> key;  // (place in the key, column)
  for (std::size_t column = 0; column < keyPlaces.size(); ++column)
    if (keyPlaces[column] > 0) key.emplace_back(keyPlaces[column], static_cast<int>(column));
  std::ranges::sort(key);
  for (const auto& [place, column] : key) {
    read.orderColumns.push_back(column);
    read.orderKeys.push_back(read.quotedColumns[static_cast<std::size_t>(column)]);
  }
  if (!read.orderKeys.empty()) {
    read.orderBy = " ORDER BY " + Join(read.orderKeys, ", ");
    return;
  }
  read.orderKeys = inherited ? std::vector<std::string>{"tableoid", "ctid"} : std::vector<std::string>{"ctid"};
}

}  // namespace

void PlanPostgresRead(OdbcConnection& connection, TableRead& read) {
  read.visibleList = "*";
  // In one question, as this is asked for every find and sort: the
  // relation, whether other tables inherit from it, whether it has row
  // security, the planner's estimate of its rows, and its columns with the
  // type each holds at bottom (a domain's base type), their places in the
  // primary key and whether the database computes them.
  std::vector<TextRow> rows;
  try {
    rows = QueryRows(connection,
                     "SELECT c.oid::text, c.relkind::text, c.relhassubclass::text, a.attname, "
                     "(SELECT b.typname FROM pg_type b "
                     "WHERE b.oid = CASE WHEN t.typtype = 'd' THEN t.typbasetype ELSE t.oid END), "
                     "c.relrowsecurity::text, "
                     "(SELECT array_position(i.indkey::int2[], a.attnum) - array_lower(i.indkey::int2[], 1) + 1 "
                     "FROM pg_index i WHERE i.indrelid = c.oid AND i.indisprimary)::text, "
                     "CAST(c.reltuples AS bigint)::text, a.attgenerated::text "
                     "FROM pg_class c LEFT JOIN pg_attribute a "
                     "ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
                     "LEFT JOIN pg_type t ON t.oid = a.atttypid "
                     "WHERE c.oid = to_regclass(?) ORDER BY a.attnum",
                     {read.quotedTable});
  } catch (const Error&) {
  }
  if (rows.empty() || rows[0].size() < 9 || !rows[0][0] || !rows[0][1]) {
    read.unavailable = "The table could not be found in the database's catalogue, so a row cannot be found again "
                       "to change it.";
    return;
  }
  bool lossy = false;
  std::vector<std::string> list;
  std::vector<int> keyPlaces;
  for (const TextRow& row : rows) {
    if (!row[3]) continue;
    keyPlaces.push_back(row[6] ? std::stoi(*row[6]) : 0);
    const std::string quoted = connection.facts().Quote(*row[3]);
    const std::string type = row[4].value_or("");
    read.quotedColumns.push_back(quoted);
    read.columnNames.push_back(*row[3]);
    read.holdsText.push_back(HoldsText(type));
    read.baseTypes.push_back(type);
    read.generated.push_back(row[8] && !row[8]->empty());
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
  // The table it lives in where other tables inherit, then its physical
  // place and version. Read as the columns they are, not as one text made
  // of them: that would be made for every row a sort goes through, not only
  // for the rows sent.
  const bool inherited = rows[0][2] && (*rows[0][2] == "true" || *rows[0][2] == "1");
  read.rowSecurity = rows[0][5] && (*rows[0][5] == "true" || *rows[0][5] == "1");
  if (rows[0][7]) read.plannedRows = std::stoll(*rows[0][7]);
  read.hiddenColumns = {"ctid", "xmin"};
  if (inherited || kind == "p") read.hiddenColumns.insert(read.hiddenColumns.begin(), "tableoid");
  PlanOrder(read, keyPlaces, inherited || kind == "p");
}

PostgresTuple PostgresTupleOf(const TableRead& read, const StoredRow& row, std::size_t firstHidden) {
  const std::size_t count = read.hiddenColumns.size();
  const auto cell = [&](std::size_t at) -> const std::optional<std::string>& { return row[firstHidden + at]; };
  const bool whole = (count == 2 || count == 3) && firstHidden + count <= row.size() &&
                     std::ranges::all_of(row.begin() + static_cast<std::ptrdiff_t>(firstHidden),
                                         row.begin() + static_cast<std::ptrdiff_t>(firstHidden + count),
                                         [](const auto& text) { return text && !text->empty(); });
  if (!whole || !cell(count - 2)->starts_with('(') || !cell(count - 2)->ends_with(')'))
    throw Error("The row's identity was not read, so it cannot be changed.");
  PostgresTuple tuple;
  tuple.tableOid = count == 3 ? *cell(0) : read.ownOid;
  tuple.ctid = *cell(count - 2);
  tuple.xmin = *cell(count - 1);
  tuple.inOwnTable = !read.ownOid.empty() && tuple.tableOid == read.ownOid;
  return tuple;
}

}  // namespace ado

#include "WindowQuery.h"

#include <algorithm>
#include <cctype>

#include "platform/ado/AdoError.h"
#include "platform/ado/RowView.h"
#include "DataSourceFacts.h"
#include "SqlText.h"
#include "SqliteSortedQuery.h"
#include "TableRead.h"

namespace ado {
namespace {

std::string Reversed(const std::string& term) {
  constexpr std::string_view descending = " DESC";
  if (term.ends_with(descending)) return term.substr(0, term.size() - descending.size());
  return term + std::string(descending);
}

bool IsInteger(const std::string& text) {
  const std::size_t digits = text.starts_with('-') ? 1 : 0;
  return text.size() > digits && std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                                             [](unsigned char c) { return std::isdigit(c) != 0; });
}

// One value, or a row of them for a key of several columns.
std::string Tuple(const std::vector<std::string>& values) {
  return values.size() == 1 ? values[0] : "(" + Join(values, ", ") + ")";
}

// A row's values of the order keys, to compare the keys with: bound, as
// the type the key holds on PostgreSQL; a rowid as the number it is.
std::string KeyValues(const TableRead& read, const std::vector<std::string>& values, BoundParameters& parameters) {
  if (values.size() != read.orderKeys.size()) throw Error("The row to read from is not known by its keys.");
  std::vector<std::string> markers;
  for (std::size_t index = 0; index < values.size(); ++index) {
    if (read.identity == TableRead::Identity::SqliteRowid) {
      if (!IsInteger(values[index])) throw Error("The row to read from is not known by its rowid.");
      markers.push_back(values[index]);
      continue;
    }
    parameters.AddText(values[index]);
    if (read.identity != TableRead::Identity::PostgresTuple) {
      markers.push_back("?");
      continue;
    }
    const std::string type =
        read.orderColumns.empty() ? std::string("tid")
                                  : read.baseTypes.at(static_cast<std::size_t>(read.orderColumns[index]));
    markers.push_back("CAST(? AS " + type + ")");
  }
  return Tuple(markers);
}

std::string KeysCompared(const TableRead& read, const std::vector<std::string>& values, bool before,
                         BoundParameters& parameters) {
  return Tuple(read.orderKeys) + (before ? " < " : " > ") + KeyValues(read, values, parameters);
}

std::string KeysLeftOut(const TableRead& read, const std::vector<std::vector<std::string>>& rows,
                        BoundParameters& parameters) {
  std::vector<std::string> values;
  for (const std::vector<std::string>& row : rows) values.push_back(KeyValues(read, row, parameters));
  return "NOT (" + Tuple(read.orderKeys) + " IN (" + Join(values, ", ") + "))";
}

std::string Where(const std::vector<std::string>& conditions) {
  return conditions.empty() ? std::string() : " WHERE " + Join(conditions, " AND ");
}

// PostgreSQL, in the order of the primary key with nothing filtered: the
// place skipped to is found on the key's index alone (without visiting the
// rows skipped where the table's pages are marked all-visible), and the
// rows are read from the key found there. In one statement both parts see
// the same rows, so this gives exactly the rows OFFSET gives.
bool SkipsOnKeys(const TableRead& read, const RowView& view, const DataSourceFacts& facts, const ViewParts& parts,
                 const WindowStart& start) {
  return start.skip > 0 && !start.afterKeys && facts.isPostgreSql() && !read.orderColumns.empty() &&
         ReadsByKeys(read, view) && parts.conditions.empty();
}

std::string FromSkippedKey(const TableRead& read, const ViewParts& parts, const WindowStart& start) {
  return Tuple(read.orderKeys) + (start.fromEnd ? " <= " : " >= ") + "(SELECT " + Join(read.orderKeys, ", ") +
         " FROM " + read.quotedTable + " ORDER BY " + Join(parts.order, ", ") + " OFFSET " +
         std::to_string(start.skip) + " LIMIT 1)";
}

}  // namespace

bool ReadsByKeys(const TableRead& read, const RowView& view) {
  if (view.sortColumn >= 0 || read.orderKeys.empty()) return false;
  if (read.identity == TableRead::Identity::SqliteRowid) return true;
  // PostgreSQL: the primary key, or the physical place where one table
  // holds every row.
  return read.identity == TableRead::Identity::PostgresTuple &&
         (!read.orderColumns.empty() || read.orderKeys == std::vector<std::string>{"ctid"});
}

ViewQuery BuildWindowQuery(const TableRead& read, const RowView& view, const DataSourceFacts& facts,
                           const WindowStart& start, std::size_t rows) {
  ViewParts parts = BuildViewParts(read, view, facts);
  if (start.afterKeys) {
    if (!ReadsByKeys(read, view)) throw Error("The rows of this view cannot be read from a row on.");
    parts.conditions.push_back(KeysCompared(read, *start.afterKeys, start.fromEnd, parts.parameters));
  }
  if (!start.leaveOut.empty()) parts.conditions.push_back(KeysLeftOut(read, start.leaveOut, parts.parameters));
  if (start.fromEnd) {
    if (parts.order.empty()) throw Error("The rows of this table have no order to read backwards in.");
    std::ranges::transform(parts.order, parts.order.begin(), Reversed);
  }
  const bool skipsOnKeys = rows != NoRowLimit && SkipsOnKeys(read, view, facts, parts, start);
  if (skipsOnKeys) parts.conditions.push_back(FromSkippedKey(read, parts, start));
  ViewQuery query;
  query.parameters = std::move(parts.parameters);
  if (SortsRowidsFirst(read, parts.sorted)) {
    query.sql = SqliteSortedQuery(read, Where(parts.conditions), parts.order, rows, start.skip);
    return query;
  }
  query.sql = "SELECT " + read.SelectList() + " FROM " + read.quotedTable + Where(parts.conditions) +
              (parts.order.empty() ? std::string() : " ORDER BY " + Join(parts.order, ", "));
  if (rows != NoRowLimit)
    query.sql += " LIMIT " + std::to_string(rows) +
                 (start.skip > 0 && !skipsOnKeys ? " OFFSET " + std::to_string(start.skip) : "");
  else if (start.skip > 0)
    query.sql += " OFFSET " + std::to_string(start.skip);  // PostgreSQL's only: the others want a LIMIT first
  return query;
}

ViewQuery BuildCountQuery(const TableRead& read, const RowView& view, const DataSourceFacts& facts) {
  ViewParts parts = BuildViewParts(read, view, facts);
  ViewQuery query;
  query.parameters = std::move(parts.parameters);
  query.sql = "SELECT count(*) FROM " + read.quotedTable + Where(parts.conditions);
  return query;
}

std::string EstimateQuery(const TableRead& read, const RowView& view, const DataSourceFacts& facts) {
  if (!view.findText.empty() || !view.filters.empty()) return {};
  if (facts.isPostgreSql() && !read.ownOid.empty() && IsInteger(read.ownOid))
    return "SELECT CAST(reltuples AS bigint) FROM pg_class WHERE oid = " + read.ownOid;
  // Rowids given by SQLite itself run from 1 up, with gaps where rows went.
  if (read.identity == TableRead::Identity::SqliteRowid)
    return "SELECT max(" + read.rowidName + ") FROM " + read.quotedTable + " WHERE " + read.rowidName + " > 0";
  return {};
}

}  // namespace ado

#include "WindowQuery.h"

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "platform/ado/RowView.h"
#include "dialect/Dialect.h"
#include "SqlText.h"
#include "TableRead.h"

namespace ado {
namespace {

std::string Reversed(const std::string& term) {
  constexpr std::string_view descending = " DESC";
  if (term.ends_with(descending)) return term.substr(0, term.size() - descending.size());
  return term + std::string(descending);
}

// One value, or a row of them for a key of several columns.
std::string Tuple(const std::vector<std::string>& values) {
  return values.size() == 1 ? values[0] : "(" + Join(values, ", ") + ")";
}

// A row's values of the order keys, to compare the keys with, as the
// dialect compares them.
std::string KeyValues(const TableRead& read, const std::vector<std::string>& values, BoundParameters& parameters) {
  if (values.size() != read.orderKeys.size()) throw Error("The row to read from is not known by its keys.");
  std::vector<std::string> markers;
  for (std::size_t index = 0; index < values.size(); ++index)
    markers.push_back(read.dialect->KeyValue(read, index, values[index], parameters));
  return Tuple(markers);
}

std::string KeysCompared(const TableRead& read, const std::vector<std::string>& values, const char* comparison,
                         BoundParameters& parameters) {
  return Tuple(read.orderKeys) + comparison + KeyValues(read, values, parameters);
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

// In the order of the primary key with nothing filtered, where the
// database finds the place skipped to on the key's index alone (without
// visiting the rows skipped), the rows are read from the key found there.
// In one statement both parts see the same rows, so this gives exactly the
// rows OFFSET gives.
bool SkipsOnKeys(const TableRead& read, const RowView& view, const ViewParts& parts, const WindowStart& start) {
  return start.skip > 0 && !start.afterKeys && !start.fromKeys && read.dialect->SkipsOnKeyIndex() &&
         !read.orderColumns.empty() && ReadsByKeys(read, view) && parts.conditions.empty();
}

std::string FromSkippedKey(const TableRead& read, const ViewParts& parts, const WindowStart& start) {
  return Tuple(read.orderKeys) + (start.fromEnd ? " <= " : " >= ") + "(SELECT " + Join(read.orderKeys, ", ") +
         " FROM " + read.quotedTable + " ORDER BY " + Join(parts.order, ", ") + " OFFSET " +
         std::to_string(start.skip) + " LIMIT 1)";
}

}  // namespace

bool ReadsByKeys(const TableRead& read, const RowView& view) {
  return view.sortColumn < 0 && !read.orderKeys.empty() && read.dialect->ReadsOnByKeys(read);
}

ViewQuery BuildWindowQuery(const TableRead& read, const RowView& view, const WindowStart& start, std::size_t rows) {
  ViewParts parts = BuildViewParts(read, view);
  if ((start.afterKeys || start.fromKeys) && !ReadsByKeys(read, view))
    throw Error("The rows of this view cannot be read from a row on.");
  if (start.afterKeys)
    parts.conditions.push_back(KeysCompared(read, *start.afterKeys, start.fromEnd ? " < " : " > ", parts.parameters));
  if (start.fromKeys) {
    if (start.fromEnd) throw Error("The rows of this view are read from a key forwards only.");
    parts.conditions.push_back(KeysCompared(read, *start.fromKeys, " >= ", parts.parameters));
  }
  if (!start.leaveOut.empty()) parts.conditions.push_back(KeysLeftOut(read, start.leaveOut, parts.parameters));
  if (start.fromEnd) {
    if (parts.order.empty()) throw Error("The rows of this table have no order to read backwards in.");
    std::ranges::transform(parts.order, parts.order.begin(), Reversed);
  }
  const bool skipsOnKeys = rows != NoRowLimit && SkipsOnKeys(read, view, parts, start);
  if (skipsOnKeys) parts.conditions.push_back(FromSkippedKey(read, parts, start));
  ViewQuery query;
  query.parameters = std::move(parts.parameters);
  if (parts.sorted) {
    if (auto sorted = read.dialect->SortedQuery(read, Where(parts.conditions), parts.order, rows, start.skip)) {
      query.sql = std::move(*sorted);
      return query;
    }
  }
  query.sql = "SELECT " + read.SelectList() + " FROM " + read.quotedTable + Where(parts.conditions) +
              (parts.order.empty() ? std::string() : " ORDER BY " + Join(parts.order, ", "));
  if (rows != NoRowLimit)
    query.sql += " LIMIT " + std::to_string(rows) +
                 (start.skip > 0 && !skipsOnKeys ? " OFFSET " + std::to_string(start.skip) : "");
  else if (start.skip > 0)
    query.sql += read.dialect->SkipOnly(start.skip);
  return query;
}

ViewQuery BuildCountQuery(const TableRead& read, const RowView& view, bool keyRange) {
  ViewParts parts = BuildViewParts(read, view);
  ViewQuery query;
  query.parameters = std::move(parts.parameters);
  // The lowest and highest key as subqueries: each is found on the key's
  // index, where the same aggregates beside count(*) would make SQLite
  // read every row instead of counting its pages.
  const std::string range = keyRange && parts.conditions.empty() && read.orderKeys.size() == 1
                                ? ", " + KeyRangeQuery(read).substr(std::string_view("SELECT ").size())
                                : std::string();
  query.sql = "SELECT count(*)" + range + " FROM " + read.quotedTable + Where(parts.conditions);
  return query;
}

std::string KeyRangeQuery(const TableRead& read) {
  if (read.orderKeys.size() != 1) throw Error("The rows are not ordered by one key.");
  const std::string& key = read.orderKeys.front();
  return "SELECT (SELECT min(" + key + ") FROM " + read.quotedTable + "), (SELECT max(" + key + ") FROM " +
         read.quotedTable + ")";
}

std::string EstimateQuery(const TableRead& read, const RowView& view, std::vector<std::string>& parameters) {
  if (!view.findText.empty() || !view.filters.empty()) return {};
  return read.dialect->EstimateQuery(read, parameters);
}

}  // namespace ado

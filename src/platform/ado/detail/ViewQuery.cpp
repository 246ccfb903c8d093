#include "ViewQuery.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/ado/AdoError.h"
#include "platform/ado/RowView.h"
#include "dialect/Dialect.h"
#include "SqlText.h"
#include "TableRead.h"

namespace ado {
namespace {

constexpr char EscapeCharacter = '!';

std::string Escape() { return std::string(" ESCAPE '") + EscapeCharacter + "'"; }

const std::string& ColumnOf(const TableRead& read, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= read.quotedColumns.size())
    throw Error("The rows of this table cannot be found or sorted by the database.");
  return read.quotedColumns[static_cast<std::size_t>(column)];
}

// The cell holds exactly the value, as a write finds a cell it changes.
std::string Holds(const TableRead& read, const RowView::ValueFilter& filter, BoundParameters& parameters) {
  const std::string& c = ColumnOf(read, filter.column);
  if (!filter.value) return c + " IS NULL";
  return read.dialect->Holds(read, filter, parameters);
}

std::string Filter(const TableRead& read, const RowView::ValueFilter& filter, BoundParameters& parameters) {
  const std::string& c = ColumnOf(read, filter.column);
  const std::string holds = Holds(read, filter, parameters);
  if (filter.keep) return holds;
  if (!filter.value) return c + " IS NOT NULL";
  // Hiding a value keeps the empty cells.
  return "(" + c + " IS NULL OR NOT " + holds + ")";
}

}  // namespace

std::string ContainsPattern(const std::string& text) {
  std::string pattern = "%";
  for (char character : text) {
    if (character == '%' || character == '_' || character == EscapeCharacter) pattern += EscapeCharacter;
    pattern += character;
  }
  return pattern + "%";
}

ViewParts BuildViewParts(const TableRead& read, const RowView& view) {
  ViewParts parts;
  if (!view.findText.empty() && !view.findColumns.empty()) {
    std::vector<std::string> anyColumn;
    for (int column : view.findColumns) {
      anyColumn.push_back(read.dialect->Contains(ColumnOf(read, column), Escape()));
      parts.parameters.AddText(ContainsPattern(view.findText));
    }
    parts.conditions.push_back("(" + Join(anyColumn, " OR ") + ")");
  }
  for (const RowView::ValueFilter& filter : view.filters)
    parts.conditions.push_back(Filter(read, filter, parts.parameters));
  if (view.sortColumn >= 0) {
    const std::string direction = view.descending ? " DESC" : "";
    const std::string& sorted = ColumnOf(read, view.sortColumn);
    parts.order = {sorted + direction};
    for (const std::string& key : read.dialect->TieBreakers(read, sorted)) parts.order.push_back(key + direction);
    parts.sorted = true;
  } else {
    parts.order = read.orderKeys;
  }
  return parts;
}

ViewQuery BuildViewQuery(const TableRead& read, const RowView& view) {
  ViewParts parts = BuildViewParts(read, view);
  ViewQuery query;
  query.parameters = std::move(parts.parameters);
  // The table's own order as its first read takes it (PostgreSQL's
  // physical order unsorted).
  const std::string orderBy = parts.sorted ? " ORDER BY " + Join(parts.order, ", ") : read.orderBy;
  const std::string where = parts.conditions.empty() ? std::string() : " WHERE " + Join(parts.conditions, " AND ");
  std::optional<std::string> sortedQuery;
  if (parts.sorted) sortedQuery = read.dialect->SortedQuery(read, where, parts.order, SIZE_MAX, 0);
  query.sql = sortedQuery ? std::move(*sortedQuery)
                          : "SELECT " + read.SelectList() + " FROM " + read.quotedTable + where + orderBy;
  return query;
}

}  // namespace ado

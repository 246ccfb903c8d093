#include "ViewQuery.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <set>

#include "platform/ado/AdoError.h"
#include "platform/ado/RowView.h"
#include "DataSourceFacts.h"
#include "SqlText.h"
#include "SqliteCellMatch.h"
#include "SqliteSortedQuery.h"
#include "TableRead.h"

namespace ado {
namespace {

constexpr char EscapeCharacter = '!';

const std::string& ColumnOf(const TableRead& read, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= read.quotedColumns.size())
    throw Error("The rows of this table cannot be found or sorted by the database.");
  return read.quotedColumns[static_cast<std::size_t>(column)];
}

// The column holds the pattern, case aside, compared as text.
std::string Contains(const std::string& c, const DataSourceFacts& facts) {
  const std::string escape = std::string(" ESCAPE '") + EscapeCharacter + "'";
  // SQLite's LIKE sets case aside by itself (for ASCII letters).
  if (facts.isSqlite()) return "CAST(" + c + " AS TEXT) LIKE ?" + escape;
  if (facts.isPostgreSql()) return "CAST(" + c + " AS text) ILIKE ?" + escape;
  return "LOWER(CAST(" + c + " AS CHAR)) LIKE LOWER(?)" + escape;
}

// The cell holds exactly the value, as a write finds a cell it changes.
std::string Holds(const TableRead& read, const RowView::ValueFilter& filter, const DataSourceFacts& facts,
                  BoundParameters& parameters) {
  const std::string& c = ColumnOf(read, filter.column);
  if (!filter.value) return c + " IS NULL";
  if (facts.isSqlite()) return SqliteCellMatch(c, filter.storage, filter.value, parameters);
  parameters.AddText(filter.value);
  const auto index = static_cast<std::size_t>(filter.column);
  if (facts.isPostgreSql()) {
    // The value as the column's own type, as the driver read it (a boolean
    // as 1 or 0); types without equality by the text form they were read in.
    static const std::set<std::string> noEquality = {"json", "xml", "point", "line", "lseg", "box",
                                                     "path", "polygon", "circle"};
    const std::string type = index < read.baseTypes.size() ? read.baseTypes[index] : std::string();
    const bool readAsText = index < read.typesReadAsText.size() && !read.typesReadAsText[index].empty();
    if (type.empty() || readAsText || noEquality.contains(type)) return "CAST(" + c + " AS text) = ?";
    return c + " = CAST(? AS " + facts.Quote(type) + ")";
  }
  if (read.knownColumns && index < read.exactMatch.size() && !read.exactMatch[index].empty())
    return read.exactMatch[index];
  return c + " = ?";
}

std::string Filter(const TableRead& read, const RowView::ValueFilter& filter, const DataSourceFacts& facts,
                   BoundParameters& parameters) {
  const std::string& c = ColumnOf(read, filter.column);
  const std::string holds = Holds(read, filter, facts, parameters);
  if (filter.keep) return holds;
  if (!filter.value) return c + " IS NOT NULL";
  // Hiding a value keeps the empty cells.
  return "(" + c + " IS NULL OR NOT " + holds + ")";
}

// What tells rows of equal values of the column `sorted` apart, in the
// table's own terms.
std::vector<std::string> Identity(const TableRead& read, const std::string& sorted) {
  switch (read.identity) {
    case TableRead::Identity::SqliteRowid:
      return {read.rowidName};
    case TableRead::Identity::PostgresTuple:
      // The primary key where there is one: the rows sorted carry no more
      // than is shown, and a sort by the key itself needs only its index.
      if (!read.orderColumns.empty()) {
        std::vector<std::string> key;
        std::ranges::copy_if(read.orderKeys, std::back_inserter(key), [&](const auto& c) { return c != sorted; });
        return key;
      }
      if (!read.hiddenColumns.empty() && read.hiddenColumns[0] == "tableoid") return {"tableoid", "ctid"};
      return {"ctid"};
    case TableRead::Identity::SqliteKey:
    case TableRead::Identity::PrimaryKey: {
      std::vector<std::string> key;
      for (int column : read.key) key.push_back(ColumnOf(read, column));
      return key;
    }
    case TableRead::Identity::None:
      break;
  }
  return {};
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

ViewParts BuildViewParts(const TableRead& read, const RowView& view, const DataSourceFacts& facts) {
  ViewParts parts;
  if (!view.findText.empty() && !view.findColumns.empty()) {
    std::vector<std::string> anyColumn;
    for (int column : view.findColumns) {
      anyColumn.push_back(Contains(ColumnOf(read, column), facts));
      parts.parameters.AddText(ContainsPattern(view.findText));
    }
    parts.conditions.push_back("(" + Join(anyColumn, " OR ") + ")");
  }
  for (const RowView::ValueFilter& filter : view.filters)
    parts.conditions.push_back(Filter(read, filter, facts, parts.parameters));
  if (view.sortColumn >= 0) {
    const std::string direction = view.descending ? " DESC" : "";
    const std::string& sorted = ColumnOf(read, view.sortColumn);
    parts.order = {sorted + direction};
    for (const std::string& key : Identity(read, sorted)) parts.order.push_back(key + direction);
    parts.sorted = true;
  } else {
    parts.order = read.orderKeys;
  }
  return parts;
}

ViewQuery BuildViewQuery(const TableRead& read, const RowView& view, const DataSourceFacts& facts) {
  ViewParts parts = BuildViewParts(read, view, facts);
  ViewQuery query;
  query.parameters = std::move(parts.parameters);
  // The table's own order as its first read takes it (PostgreSQL's
  // physical order unsorted).
  const std::string orderBy = parts.sorted ? " ORDER BY " + Join(parts.order, ", ") : read.orderBy;
  const std::string where = parts.conditions.empty() ? std::string() : " WHERE " + Join(parts.conditions, " AND ");
  query.sql = SortsRowidsFirst(read, parts.sorted)
                  ? SqliteSortedQuery(read, where, parts.order, SIZE_MAX, 0)
                  : "SELECT " + read.SelectList() + " FROM " + read.quotedTable + where + orderBy;
  return query;
}

}  // namespace ado

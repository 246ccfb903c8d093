#include "SqliteSortedQuery.h"

#include <algorithm>
#include <cstdint>

#include "../SqlText.h"
#include "../TableRead.h"

namespace ado {
namespace {

// Reads that end within this many rows of the start keep the rowids they
// need in a tree of that size while SQLite goes through the table; deeper
// ones sort every rowid.
constexpr std::size_t ShallowRows = 10000;

// A quoted name none of the given quoted names takes.
std::string FreeName(const std::vector<std::string>& taken, const std::string& wanted) {
  std::string name = wanted;
  for (int suffix = 2;; ++suffix) {
    const std::string quoted = "\"" + name + "\"";
    if (std::ranges::none_of(taken, [&](const std::string& t) { return Lower(t) == Lower(quoted); })) return quoted;
    name = wanted + " " + std::to_string(suffix);
  }
}

}  // namespace

bool SortsRowidsFirst(const TableRead& read, bool sorted) {
  return sorted && read.identity == TableRead::Identity::SqliteRowid && !read.rowidName.empty();
}

std::string SqliteSortedQuery(const TableRead& read, const std::string& where, const std::vector<std::string>& order,
                              std::size_t rows, std::size_t skip) {
  const std::string sorted = FreeName({read.quotedTable}, "sorted rows");
  const std::string rowidName = FreeName(read.quotedColumns, "sorted rowid");
  const std::string placeName = FreeName(read.quotedColumns, "sorted place");
  const std::string rowid = sorted + "." + rowidName;
  std::vector<std::string> hidden;
  for (const std::string& column : read.hiddenColumns) hidden.push_back(column == read.rowidName ? rowid : column);
  const std::string list = read.SelectListWith(hidden);
  const std::string orderBy = "ORDER BY " + Join(order, ", ");
  const bool every = rows == SIZE_MAX;
  const std::string limit = (every ? (skip > 0 ? " LIMIT -1" : "") : " LIMIT " + std::to_string(rows)) +
                            (skip > 0 ? " OFFSET " + std::to_string(skip) : "");
  const std::string joined = ") AS " + sorted + " CROSS JOIN " + read.quotedTable + " ON " + read.quotedTable + "." +
                            read.rowidName + " = " + rowid;
  if (!every && skip + rows <= ShallowRows) {
    // The few rows come out of the join in no promised order: sorted
    // again, in the table's own terms.
    std::vector<std::string> outer;
    for (const std::string& term : order)
      outer.push_back(term == read.rowidName || term == read.rowidName + " DESC" ? read.quotedTable + "." + term
                                                                                 : term);
    return "SELECT " + list + " FROM (SELECT " + read.rowidName + " AS " + rowidName + " FROM " + read.quotedTable +
           where + " " + orderBy + limit + joined + " ORDER BY " + Join(outer, ", ");
  }
  // The rowids in the order of their places: SQLite hands the rows of a
  // window function on in the window's order, and the join goes through
  // them in turn. A read of every row relies on that, as sorting them again
  // would cost what this spares; a read of some rows sorts them by place.
  std::string sql = "SELECT " + list + " FROM (SELECT " + read.rowidName + " AS " + rowidName +
                    ", row_number() OVER (" + orderBy + ") AS " + placeName + " FROM " + read.quotedTable + where +
                    " " + orderBy + limit + joined;
  if (!every) sql += " ORDER BY " + sorted + "." + placeName;
  return sql;
}

}  // namespace ado

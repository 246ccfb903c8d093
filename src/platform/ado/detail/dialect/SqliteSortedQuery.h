#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace ado {

struct TableRead;

// Whether a read of a SQLite table sorted by a column sorts the rowids
// first and reads each row after by its rowid: SQLite works out every
// column of a row before it sorts, the storage marks with them, so sorting
// the rowids alone keeps that work to the rows read.
bool SortsRowidsFirst(const TableRead& read, bool sorted);

// The rows of a rowid table that meet `where` (" WHERE ..." or empty) in
// the given order (ORDER BY terms, the rowid last), `rows` of them (SIZE_MAX:
// every one) after the first `skip`.
std::string SqliteSortedQuery(const TableRead& read, const std::string& where, const std::vector<std::string>& order,
                              std::size_t rows, std::size_t skip);

}  // namespace ado

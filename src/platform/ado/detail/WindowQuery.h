#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ViewQuery.h"

namespace ado {

// Where a read of some rows of a view begins: after skipping rows from the
// first (or, from the end, from the last, read backwards), right after
// (before) a row whose order keys hold the given values, or at the first
// row whose keys are the given ones or come after them (then skipping).
struct WindowStart {
  std::size_t skip = 0;
  bool fromEnd = false;
  std::optional<std::vector<std::string>> afterKeys;
  std::optional<std::vector<std::string>> fromKeys;
  // Rows left out, by the values of their order keys: rows written here,
  // which keep their places apart from the view's order.
  std::vector<std::vector<std::string>> leaveOut;
};

// Every row from the start on (which then skips none).
inline constexpr std::size_t NoRowLimit = SIZE_MAX;

// `rows` rows of the view from the start given. Rows read from the end
// come last first.
ViewQuery BuildWindowQuery(const TableRead& read, const RowView& view, const WindowStart& start, std::size_t rows);
// Whether a read can begin right after a row by its keys: in the table's
// own order (not sorted), by keys whose values compare exactly.
bool ReadsByKeys(const TableRead& read, const RowView& view);

// The number of rows the view shows; with `keyRange`, where the view shows
// every row of the table, also the lowest and highest value of its one
// order key (see KeyRange), in the same statement.
ViewQuery BuildCountQuery(const TableRead& read, const RowView& view, bool keyRange);
// The lowest and highest value of the table's one order key, each found on
// the key's index.
std::string KeyRangeQuery(const TableRead& read);
// What the database's catalogue guesses the table's rows number, cheaply,
// with its text parameters; empty where it has nothing to go by.
std::string EstimateQuery(const TableRead& read, const RowView& view, std::vector<std::string>& parameters);

}  // namespace ado

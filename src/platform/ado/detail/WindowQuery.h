#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ViewQuery.h"

namespace ado {

// Where a read of some rows of a view begins: after skipping rows from the
// first (or, from the end, from the last, read backwards), or right after
// (before) a row whose order keys hold the given values.
struct WindowStart {
  std::size_t skip = 0;
  bool fromEnd = false;
  std::optional<std::vector<std::string>> afterKeys;
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

// The number of rows the view shows.
ViewQuery BuildCountQuery(const TableRead& read, const RowView& view);
// What the database's catalogue guesses the table's rows number, cheaply;
// empty where it has nothing to go by.
std::string EstimateQuery(const TableRead& read, const RowView& view);

}  // namespace ado

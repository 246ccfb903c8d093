#pragma once

#include <string>
#include <vector>

#include "BoundParameters.h"

namespace ado {

struct RowView;
struct TableRead;

// The read query of a table under a view: its WHERE and ORDER BY, with
// every value the user gave bound as a parameter.
struct ViewQuery {
  std::string sql;
  BoundParameters parameters;
};

// The pieces of a read of the table under a view: what a row must meet,
// with the values bound, and the order, one term a key ("x", "y DESC").
struct ViewParts {
  std::vector<std::string> conditions;
  BoundParameters parameters;
  std::vector<std::string> order;
  bool sorted = false;  // by a column, not in the table's own order
};
ViewParts BuildViewParts(const TableRead& read, const RowView& view);

// The rows of the table as the view shows them. The order ends with the
// row's identity, so that rows of equal values keep one order.
ViewQuery BuildViewQuery(const TableRead& read, const RowView& view);

// The text as a LIKE pattern that finds it anywhere, its wildcards and the
// escape character ('!') taken literally.
std::string ContainsPattern(const std::string& text);

}  // namespace ado

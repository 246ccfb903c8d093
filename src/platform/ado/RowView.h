#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ado {

// Which rows of a table are shown and in what order: a text looked for,
// cells' values kept or hidden, one column sorted by. The database does all
// of it; the read query is built from this alone. The default shows every
// row in the table's own order.
struct RowView {
  // One cell's value, to keep only the rows that hold it in the column or
  // to hide them. The value is what a write would give back exactly (see
  // Recordset::ExactValue); `storage` is SQLite's storage class of it.
  struct ValueFilter {
    int column = 0;
    std::optional<std::string> value;  // std::nullopt: NULL
    char storage = 0;
    bool keep = true;
    bool operator==(const ValueFilter&) const = default;
  };

  // Rows with the text anywhere in one of these columns, case aside; `%`
  // and `_` are plain characters.
  std::string findText;
  std::vector<int> findColumns;
  std::vector<ValueFilter> filters;
  int sortColumn = -1;  // -1: the table's own order
  bool descending = false;

  bool narrowed() const { return (!findText.empty() && !findColumns.empty()) || !filters.empty(); }
  bool isDefault() const { return !narrowed() && sortColumn < 0; }
  bool operator==(const RowView&) const = default;
};

}  // namespace ado

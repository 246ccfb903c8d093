#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ado {

// A cell of the row cache: NULL, or text (numbers and dates in the text form
// the driver gives; binary as the raw bytes). A value longer than the cache
// holds is cut: `text` is its beginning and `wholeSize` its size in bytes
// (0 for a value held whole).
struct CellView {
  bool isNull = true;
  std::string_view text;
  std::uint64_t wholeSize = 0;
  bool cut() const { return wholeSize > text.size(); }
  std::uint64_t size() const { return cut() ? wholeSize : text.size(); }
};

// Values for some columns of one row: (column, value); std::nullopt is NULL.
using CellValues = std::vector<std::pair<int, std::optional<std::string>>>;

}  // namespace ado

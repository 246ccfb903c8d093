#include "RawRows.h"

#include <stdexcept>

namespace bench {

std::size_t RawRows::ReadBlock() {
  const std::size_t rows = blocks_.Fetch();
  for (std::size_t row = 0; row < rows; ++row) {
    const std::uint64_t start = arena_.size();
    rowStarts_.push_back(start);
    for (std::size_t column = 0; column < blocks_.columnCount(); ++column) {
      bool cut = false;
      const std::optional<std::string_view> value = blocks_.value(row, column, cut);
      if (!value) {
        cellEnds_.push_back(static_cast<std::uint32_t>(arena_.size() - start) | 0x80000000u);
        continue;
      }
      truncated_ += cut ? 1 : 0;
      arena_.append(*value);
      cellEnds_.push_back(static_cast<std::uint32_t>(arena_.size() - start));
    }
  }
  return rows;
}

Metrics ScreenOfRows(RawStatement& statement, const Span& span) {
  constexpr std::size_t ScreenRows = 50;
  RawRows rows(statement);
  while (rows.rowCount() < ScreenRows && rows.ReadBlock() > 0) {
  }
  const double seconds = span.seconds();
  if (rows.rowCount() < ScreenRows) throw std::runtime_error("fewer than 50 rows");
  return {{"seconds", seconds}};
}

}  // namespace bench

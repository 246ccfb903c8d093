#include "RawRows.h"

#include <algorithm>
#include <stdexcept>

namespace bench {

RawRows::RawRows(RawStatement& statement) : statement_(statement) {
  const SQLHSTMT handle = statement_.handle();
  SQLSMALLINT count = 0;
  statement_.Check(SQLNumResultCols(handle, &count), "counting columns");
  statement_.Check(SQLSetStmtAttr(handle, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(BlockRows), 0),
                   "setting the block size");
  statement_.Check(SQLSetStmtAttr(handle, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), "rows fetched");
  columns_.resize(static_cast<std::size_t>(count));
  for (SQLUSMALLINT index = 1; index <= count; ++index) {
    SQLULEN size = 0;
    SQLSMALLINT type = 0, digits = 0, nullable = 0;
    statement_.Check(SQLDescribeCol(handle, index, nullptr, 0, nullptr, &type, &size, &digits, &nullable),
                     "describing a column");
    Column& column = columns_[index - 1];
    column.width = std::clamp<std::size_t>(size + 1, 32, 1024);
    column.data.resize(column.width * BlockRows);
    column.lengths.resize(BlockRows);
    statement_.Check(SQLBindCol(handle, index, SQL_C_CHAR, column.data.data(), static_cast<SQLLEN>(column.width),
                                column.lengths.data()),
                     "binding a column");
  }
}

std::size_t RawRows::ReadBlock() {
  if (done_) return 0;
  fetched_ = 0;
  const SQLRETURN rc = SQLFetchScroll(statement_.handle(), SQL_FETCH_NEXT, 0);
  if (rc == SQL_NO_DATA) {
    done_ = true;
    return 0;
  }
  statement_.Check(rc, "fetching");
  for (std::size_t row = 0; row < fetched_; ++row) {
    const std::uint64_t start = arena_.size();
    rowStarts_.push_back(start);
    for (Column& column : columns_) {
      const SQLLEN length = column.lengths[row];
      if (length == SQL_NULL_DATA) {
        cellEnds_.push_back(static_cast<std::uint32_t>(arena_.size() - start) | 0x80000000u);
        continue;
      }
      std::size_t used = static_cast<std::size_t>(length);
      if (length == SQL_NO_TOTAL || used >= column.width) {
        ++truncated_;
        used = column.width - 1;
      }
      arena_.append(column.data.data() + row * column.width, used);
      cellEnds_.push_back(static_cast<std::uint32_t>(arena_.size() - start));
    }
  }
  if (fetched_ < BlockRows) done_ = true;
  return fetched_;
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

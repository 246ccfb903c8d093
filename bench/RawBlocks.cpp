#include "RawBlocks.h"

#include <algorithm>

namespace bench {

RawBlocks::RawBlocks(RawStatement& statement) : statement_(statement) {
  const SQLHSTMT handle = statement_.handle();
  SQLSMALLINT count = 0;
  statement_.Check(SQLNumResultCols(handle, &count), "counting columns");
  statement_.Check(SQLSetStmtAttr(handle, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(BlockRows), 0),
                   "setting the block size");
  statement_.Check(SQLSetStmtAttr(handle, SQL_ATTR_ROWS_FETCHED_PTR, &fetched_, 0), "rows fetched");
  columns_.resize(static_cast<std::size_t>(count));
  for (SQLUSMALLINT index = 1; index <= count; ++index) {
    SQLCHAR name[256] = {};
    SQLULEN size = 0;
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    statement_.Check(SQLDescribeCol(handle, index, name, sizeof name, &nameLength, &type, &size, &digits, &nullable),
                     "describing a column");
    Column& column = columns_[index - 1];
    column.name = reinterpret_cast<const char*>(name);
    column.width = std::clamp<std::size_t>(size + 1, 32, 1024);
    column.data.resize(column.width * BlockRows);
    column.lengths.resize(BlockRows);
    statement_.Check(SQLBindCol(handle, index, SQL_C_CHAR, column.data.data(), static_cast<SQLLEN>(column.width),
                                column.lengths.data()),
                     "binding a column");
  }
}

std::size_t RawBlocks::Fetch() {
  if (done_) return 0;
  fetched_ = 0;
  const SQLRETURN rc = SQLFetchScroll(statement_.handle(), SQL_FETCH_NEXT, 0);
  if (rc == SQL_NO_DATA) {
    done_ = true;
    return 0;
  }
  statement_.Check(rc, "fetching");
  if (fetched_ < BlockRows) done_ = true;
  return fetched_;
}

std::optional<std::string_view> RawBlocks::value(std::size_t row, std::size_t column, bool& cut) const {
  const Column& bound = columns_[column];
  const SQLLEN length = bound.lengths[row];
  cut = false;
  if (length == SQL_NULL_DATA) return std::nullopt;
  std::size_t used = static_cast<std::size_t>(length);
  if (length == SQL_NO_TOTAL || used >= bound.width) {
    cut = true;
    used = bound.width - 1;
  }
  return std::string_view(bound.data.data() + row * bound.width, used);
}

}  // namespace bench

#include "ResultReader.h"

#include <sqlext.h>

#include <algorithm>
#include <cstdint>

#include "platform/ado/AdoError.h"
#include "LongValue.h"
#include "OdbcStatement.h"
#include "PackedCells.h"
#include "RowCache.h"

namespace ado {
namespace {

constexpr std::size_t BlockBudgetBytes = 2 * 1024 * 1024;
constexpr std::size_t WholeValueChunk = 64 * 1024;

std::size_t BoundWidth(const ColumnInfo& column) {
  if (column.size == 0) return ResultReader::MaxBoundBytes;  // size unknown: long data
  // Text arrives as UTF-8, up to four bytes per character, plus the terminator.
  const std::size_t wanted = column.isBinary() ? column.size : column.size * 4 + 1;
  return std::clamp<std::size_t>(wanted, 32, ResultReader::MaxBoundBytes);
}

}  // namespace

ResultReader::ResultReader(OdbcStatement& statement, const std::vector<ColumnInfo>& columns,
                           bool blockGetData, std::function<void()> beforeClose)
    : statement_(statement), beforeClose_(std::move(beforeClose)) {
  if (columns.empty()) {
    finished_ = true;
    return;
  }
  std::size_t rowBytes = 0;
  for (const ColumnInfo& column : columns) {
    if (column.packed) {
      if (packedBinary_.empty()) {
        // One text column carries them all.
        Binding binding;
        binding.cType = SQL_C_CHAR;
        binding.width = MaxBoundBytes;
        rowBytes += binding.width + sizeof(SQLLEN);
        bindings_.push_back(std::move(binding));
      }
      packedBinary_.push_back(column.isBinary());
      continue;
    }
    Binding binding;
    binding.cType = column.isBinary() ? SQL_C_BINARY : SQL_C_CHAR;
    binding.width = BoundWidth(column);
    rowBytes += binding.width + sizeof(SQLLEN);
    bindings_.push_back(std::move(binding));
  }
  const SQLHSTMT handle = statement_.handle();
  // Without SQLGetData on any row of a block a cut value could not be read
  // again, so such drivers get one row per fetch.
  if (blockGetData) {
    const std::size_t rows = std::clamp<std::size_t>(BlockBudgetBytes / rowBytes, 1, MaxRowsPerBlock);
    if (rows > 1 && SQL_SUCCEEDED(SQLSetStmtAttr(handle, SQL_ATTR_ROW_ARRAY_SIZE,
                                                 reinterpret_cast<SQLPOINTER>(rows), 0)))
      rowsPerBlock_ = rows;
  }
  positionRows_ = rowsPerBlock_ > 1;
  rowStatus_.assign(rowsPerBlock_, SQL_ROW_NOROW);
  statement_.Check(SQLSetStmtAttr(handle, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0),
                   "Preparing the fetch");
  statement_.Check(SQLSetStmtAttr(handle, SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0),
                   "Preparing the fetch");
  for (std::size_t index = 0; index < bindings_.size(); ++index) {
    Binding& binding = bindings_[index];
    binding.data.assign(binding.width * rowsPerBlock_, 0);
    binding.lengths.assign(rowsPerBlock_, 0);
    statement_.Check(SQLBindCol(handle, static_cast<SQLUSMALLINT>(index + 1), binding.cType,
                                binding.data.data(), static_cast<SQLLEN>(binding.width),
                                binding.lengths.data()),
                     "Binding a column");
  }
}

ResultReader::~ResultReader() {
  // The statement may outlive us only as a released handle; unbind while it
  // still points into our buffers.
  if (!statement_.released()) {
    SQLHSTMT handle = statement_.handle();
    SQLFreeStmt(handle, SQL_UNBIND);
    SQLSetStmtAttr(handle, SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
    SQLSetStmtAttr(handle, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
  }
}

void ResultReader::Finish() {
  finished_ = true;
  if (beforeClose_) beforeClose_();
  // Closing the cursor at once gives back what the data source holds for
  // it: the server's cursor, or the SQLite driver's lock on the file.
  SQLFreeStmt(statement_.handle(), SQL_CLOSE);
}

bool ResultReader::Truncated(const Binding& binding, SQLLEN length) const {
  if (length == SQL_NO_TOTAL) return true;
  const auto width = static_cast<SQLLEN>(binding.width);
  return binding.cType == SQL_C_BINARY ? length > width : length >= width;
}

std::size_t ResultReader::ReadBlock(RowCache& cache) {
  if (finished_) return 0;
  const SQLHSTMT handle = statement_.handle();
  rowsFetched_ = 0;
  const SQLRETURN rc = SQLFetchScroll(handle, SQL_FETCH_NEXT, 0);
  if (rc == SQL_NO_DATA) {
    Finish();
    return 0;
  }
  statement_.Check(rc, "Fetching rows");
  std::size_t added = 0;
  for (std::size_t row = 0; row < rowsFetched_; ++row) {
    if (rowStatus_[row] == SQL_ROW_NOROW) continue;
    if (rowStatus_[row] == SQL_ROW_ERROR) statement_.Check(SQL_ERROR, "Fetching a row");
    bool positioned = !positionRows_;
    cache.BeginRow();
    try {
      for (std::size_t column = 0; column < bindings_.size(); ++column) {
        const Binding& binding = bindings_[column];
        const SQLLEN length = binding.lengths[row];
        if (!packedBinary_.empty() && column + 1 == bindings_.size()) {
          AddPackedCells(binding, row, [&] {
            if (positioned) return;
            statement_.Check(SQLSetPos(handle, static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION,
                                       SQL_LOCK_NO_CHANGE),
                             "Positioning on a row");
            positioned = true;
          }, cache);
        } else if (length == SQL_NULL_DATA) {
          cache.AddNull();
        } else if (Truncated(binding, length)) {
          const auto position = [&] {
            if (positioned) return;
            statement_.Check(SQLSetPos(handle, static_cast<SQLSETPOSIROW>(row + 1), SQL_POSITION,
                                       SQL_LOCK_NO_CHANGE),
                             "Positioning on a row");
            positioned = true;
          };
          const CellCut& cut = cache.cut();
          const auto index = static_cast<int>(column);
          if (length != SQL_NO_TOTAL && cut.cuts(index, static_cast<std::size_t>(length))) {
            HoldBeginning(binding, row, column, static_cast<std::uint64_t>(length), position, cache);
          } else if (length == SQL_NO_TOTAL && cut.cuts(index, SIZE_MAX)) {
            position();
            HoldCounted(column, cache);
          } else {
            position();
            ReadWholeValue(column, cache);
          }
        } else {
          cache.AppendToCell(std::string_view(binding.data.data() + row * binding.width,
                                              static_cast<std::size_t>(length)));
          cache.EndCell();
        }
      }
      cache.EndRow();
    } catch (...) {
      cache.AbandonRow();
      throw;
    }
    ++added;
  }
  if (rowsFetched_ < rowsPerBlock_ && rowsPerBlock_ > 1) {
    // A short block is the last one; some drivers would fail a further fetch.
    Finish();
  }
  return added;
}

void ResultReader::AddPackedCells(const Binding& binding, std::size_t row, const std::function<void()>& position,
                                  RowCache& cache) {
  const SQLLEN length = binding.lengths[row];
  std::string packed;
  if (length == SQL_NULL_DATA) throw Error("The cells read packed came as NULL.");
  if (Truncated(binding, length)) {
    position();
    std::vector<char> first(WholeValueChunk);
    const auto column = static_cast<SQLUSMALLINT>(bindings_.size());
    ReadLongValue(statement_, column, SQL_C_CHAR, first.data(), first.size(),
                  [&](std::string_view piece) { packed.append(piece); });
  } else {
    packed.assign(binding.data.data() + row * binding.width, static_cast<std::size_t>(length));
  }
  for (const std::optional<std::string>& cell : UnpackCells(packed, packedBinary_)) {
    if (!cell) {
      cache.AddNull();
      continue;
    }
    cache.AppendToCell(*cell);
    cache.EndCell();
  }
}

void ResultReader::ReadWholeValue(std::size_t column, RowCache& cache) {
  const Binding& binding = bindings_[column];
  std::vector<char> first(WholeValueChunk);
  if (!ReadLongValue(statement_, static_cast<SQLUSMALLINT>(column + 1), binding.cType, first.data(), first.size(),
                     [&](std::string_view piece) { cache.AppendToCell(piece); })) {
    cache.AddNull();
    return;
  }
  cache.EndCell();
}

void ResultReader::HoldBeginning(const Binding& binding, std::size_t row, std::size_t column, std::uint64_t wholeSize,
                                 const std::function<void()>& position, RowCache& cache) {
  // The bound buffer holds the value's first bytes already: enough of
  // binary data, and of a BLOB the SQLite driver hands over as X'...' text,
  // which it would convert whole again for one more call.
  const std::size_t bound = binding.width - (binding.cType == SQL_C_CHAR ? 1 : 0);
  const std::string_view start(binding.data.data() + row * binding.width, bound);
  if (binding.cType == SQL_C_BINARY || start.starts_with("X'")) {
    cache.AppendToCell(start);
    cache.EndCutCell(wholeSize);
    return;
  }
  position();
  const std::optional<ValueStart> read =
      ReadValueStart(statement_, static_cast<SQLUSMALLINT>(column + 1), binding.cType, RowCache::HeldPrefixBytes);
  if (!read) {
    cache.AddNull();
    return;
  }
  cache.AppendToCell(read->bytes);
  cache.EndCutCell(std::max<std::uint64_t>(read->size, wholeSize));
}

void ResultReader::HoldCounted(std::size_t column, RowCache& cache) {
  // Kept whole when it turns out no longer than the limit.
  const std::size_t above = cache.cut().above;
  const std::optional<ValueStart> read =
      ReadValueStart(statement_, static_cast<SQLUSMALLINT>(column + 1), bindings_[column].cType, above + 1);
  if (!read) {
    cache.AddNull();
    return;
  }
  if (read->size <= above) {
    cache.AppendToCell(read->bytes);
    cache.EndCell();
    return;
  }
  cache.AppendToCell(std::string_view(read->bytes).substr(0, RowCache::HeldPrefixBytes));
  cache.EndCutCell(read->size);
}

}  // namespace ado

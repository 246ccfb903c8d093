#pragma once

#include <sql.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/ado/ColumnInfo.h"

namespace ado {

class OdbcStatement;
class RowCache;

// Reads the rows of an executed statement into a row cache, a block at a
// time through bound row arrays. Values longer than their bound buffer are
// read again with SQLGetData: on the row of the block when the driver
// allows it, otherwise the reader fetches one row at a time. They are read
// whole, unless the cache holds such values cut (see CellCut): then
// only their beginning is kept, with their size.
class ResultReader {
 public:
  // `beforeClose` runs at the end of the rows, while the statement can
  // still describe its result, just before the cursor is closed.
  ResultReader(OdbcStatement& statement, const std::vector<ColumnInfo>& columns, bool blockGetData,
               std::function<void()> beforeClose = {});
  ~ResultReader();
  ResultReader(const ResultReader&) = delete;
  ResultReader& operator=(const ResultReader&) = delete;

  // Adds the next block of rows; returns how many, 0 at the end.
  std::size_t ReadBlock(RowCache& cache);
  bool finished() const { return finished_; }
  std::size_t rowsPerBlock() const { return rowsPerBlock_; }

  static constexpr std::size_t MaxRowsPerBlock = 256;
  static constexpr std::size_t MaxBoundBytes = 2048;

 private:
  struct Binding {
    SQLSMALLINT cType = 0;
    std::size_t width = 0;        // bytes per row, terminator included
    std::vector<char> data;       // rowsPerBlock * width
    std::vector<SQLLEN> lengths;  // rowsPerBlock
  };

  void Finish();
  void ReadWholeValue(std::size_t column, RowCache& cache);
  // A value the cache holds cut, of the size the driver told.
  void HoldBeginning(const Binding& binding, std::size_t row, std::size_t column, std::uint64_t wholeSize,
                     const std::function<void()>& position, RowCache& cache);
  // A value of a size the driver did not tell, held cut if it is long.
  void HoldCounted(std::size_t column, RowCache& cache);
  bool Truncated(const Binding& binding, SQLLEN length) const;
  // The cells read packed in the last column, unpacked into the row.
  void AddPackedCells(const Binding& binding, std::size_t row, const std::function<void()>& position,
                      RowCache& cache);

  OdbcStatement& statement_;
  std::vector<Binding> bindings_;
  // Per cell packed in the last bound column (see ColumnInfo::packed):
  // whether it is binary. Empty where nothing is packed.
  std::vector<bool> packedBinary_;
  std::size_t rowsPerBlock_ = 1;
  bool positionRows_ = false;
  SQLULEN rowsFetched_ = 0;
  std::vector<SQLUSMALLINT> rowStatus_;
  bool finished_ = false;
  std::function<void()> beforeClose_;
};

}  // namespace ado

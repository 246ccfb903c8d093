#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/CellView.h"
#include "StoredRow.h"

namespace ado {

// Which values a row cache holds cut: those longer than `above` bytes (0:
// none) in the columns marked. Columns that find a row again are never cut.
struct CellCut {
  std::size_t above = 0;
  std::vector<bool> columns;
  bool cuts(int column, std::size_t size) const {
    return above > 0 && size > above && static_cast<std::size_t>(column) < columns.size() &&
           columns[static_cast<std::size_t>(column)];
  }
  // The row as a cache would hold it, but for the `keptWhole` columns.
  HeldRow Held(StoredRow row, const std::vector<int>& keptWhole = {}) const;
};

// The fetched rows of a result, kept compactly: all cell bytes of all rows
// in one text arena, plus one arena offset per row and one end offset per
// cell (relative to its row, with a flag bit for NULL). A million-row table
// thus costs its bytes plus a few bytes per cell, not an object per cell.
//
// Views returned by cell() stay valid only until the next row is added or
// replaced.
//
// A value longer than the cache's cut limit, in a column that may be cut,
// is held as its first bytes and its whole size: the grid shows no more,
// and the whole value is read again by its row's identity when needed.
class RowCache {
 public:
  // What a cut value keeps of its beginning: more than a cell shows of it
  // (see ui::ShownValue).
  static constexpr std::size_t HeldPrefixBytes = 4096;

  explicit RowCache(int columns, CellCut cut = {});

  int columnCount() const { return columns_; }
  std::size_t rowCount() const { return rowStarts_.size(); }
  CellView cell(std::size_t row, int column) const;
  // A copy of every cell of the row (std::nullopt for NULL); of a cut cell
  // its beginning.
  std::vector<std::optional<std::string>> Row(std::size_t row) const;
  // The whole sizes of the row's cut cells, by column.
  std::map<int, std::uint64_t> WholeSizes(std::size_t row) const;

  // Building the next row, one cell after the other; a cell's text may come
  // in pieces (long values read in chunks).
  void BeginRow();
  void AddNull();
  void AppendToCell(std::string_view piece);
  void EndCell();
  // Ends a cell that holds only the beginning of a value of `wholeSize` bytes.
  void EndCutCell(std::uint64_t wholeSize);
  void EndRow();
  // Drops a row begun but not ended (a failed read).
  void AbandonRow();

  // Puts new contents in place of a row. The old bytes stay in the arena
  // unused; replacements are rare (one per edited cell).
  void ReplaceRow(std::size_t row, const std::vector<std::optional<std::string>>& cells);
  // A row put before the given one (or after the last), and rows taken
  // out; the rows after them move.
  // `wholeSizes`: cells given cut (as Row and WholeSizes give them).
  void InsertRow(std::size_t row, const std::vector<std::optional<std::string>>& cells,
                 const std::map<int, std::uint64_t>& wholeSizes = {});
  void RemoveRows(std::size_t first, std::size_t count);

  std::size_t arenaBytes() const { return arena_.size(); }
  const CellCut& cut() const { return cut_; }

 private:
  static constexpr std::uint32_t NullFlag = 0x80000000u;

  // Puts the cells at the end of the arena; returns where they start and
  // adds their ends.
  std::uint64_t AppendCells(const std::vector<std::optional<std::string>>& cells, std::vector<std::uint32_t>& ends,
                            const std::map<int, std::uint64_t>& wholeSizes = {});

  int columns_;
  CellCut cut_;
  std::string arena_;
  std::vector<std::uint64_t> rowStarts_;
  std::vector<std::uint32_t> cellEnds_;
  // State of the row being built.
  std::uint64_t pendingStart_ = 0;
  int pendingCells_ = 0;
  bool building_ = false;
  // Whole sizes of the cut cells, by their row's start in the arena (which
  // stays while rows move) and column. A row without bytes may share its
  // start with the next row; a cut cell is never empty.
  std::map<std::pair<std::uint64_t, int>, std::uint64_t> wholeSizes_;
};

}  // namespace ado

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/Recordset.h"

namespace ado {

// The fetched rows of a result, kept compactly: all cell bytes of all rows
// in one text arena, plus one arena offset per row and one end offset per
// cell (relative to its row, with a flag bit for NULL). A million-row table
// thus costs its bytes plus a few bytes per cell, not an object per cell.
//
// Views returned by cell() stay valid only until the next row is added or
// replaced.
class RowCache {
 public:
  explicit RowCache(int columns);

  int columnCount() const { return columns_; }
  std::size_t rowCount() const { return rowStarts_.size(); }
  CellView cell(std::size_t row, int column) const;
  // A copy of every cell of the row (std::nullopt for NULL).
  std::vector<std::optional<std::string>> Row(std::size_t row) const;

  // Building the next row, one cell after the other; a cell's text may come
  // in pieces (long values read in chunks).
  void BeginRow();
  void AddNull();
  void AppendToCell(std::string_view piece);
  void EndCell();
  void EndRow();
  // Drops a row begun but not ended (a failed read).
  void AbandonRow();

  // Puts new contents in place of a row. The old bytes stay in the arena
  // unused; replacements are rare (one per edited cell).
  void ReplaceRow(std::size_t row, const std::vector<std::optional<std::string>>& cells);
  // A row put before the given one (or after the last), and rows taken
  // out; the rows after them move.
  void InsertRow(std::size_t row, const std::vector<std::optional<std::string>>& cells);
  void RemoveRows(std::size_t first, std::size_t count);

  std::size_t arenaBytes() const { return arena_.size(); }

 private:
  static constexpr std::uint32_t NullFlag = 0x80000000u;

  // Puts the cells at the end of the arena; returns where they start and
  // adds their ends.
  std::uint64_t AppendCells(const std::vector<std::optional<std::string>>& cells, std::vector<std::uint32_t>& ends);

  int columns_;
  std::string arena_;
  std::vector<std::uint64_t> rowStarts_;
  std::vector<std::uint32_t> cellEnds_;
  // State of the row being built.
  std::uint64_t pendingStart_ = 0;
  int pendingCells_ = 0;
  bool building_ = false;
};

}  // namespace ado

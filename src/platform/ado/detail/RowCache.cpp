#include "RowCache.h"

#include <algorithm>

#include "platform/ado/AdoError.h"

namespace ado {

HeldRow CellCut::Held(StoredRow row, const std::vector<int>& keptWhole) const {
  HeldRow held;
  for (std::size_t index = 0; index < row.size(); ++index) {
    std::optional<std::string>& value = row[index];
    const auto column = static_cast<int>(index);
    if (!value || !cuts(column, value->size()) || std::ranges::find(keptWhole, column) != keptWhole.end()) continue;
    held.wholeSizes.emplace(column, value->size());
    value->resize(RowCache::HeldPrefixBytes);
    value->shrink_to_fit();
  }
  held.cells = std::move(row);
  return held;
}

RowCache::RowCache(int columns, CellCut cut) : columns_(columns), cut_(std::move(cut)) {}

CellView RowCache::cell(std::size_t row, int column) const {
  if (row >= rowCount() || column < 0 || column >= columns_)
    throw Error("Item cannot be found in the collection corresponding to the requested name or ordinal.");
  const std::size_t base = row * static_cast<std::size_t>(columns_);
  const std::uint32_t end = cellEnds_[base + static_cast<std::size_t>(column)];
  if ((end & NullFlag) != 0) return CellView{};
  const std::uint32_t begin = column == 0 ? 0 : (cellEnds_[base + static_cast<std::size_t>(column) - 1] & ~NullFlag);
  CellView view{false, std::string_view(arena_).substr(rowStarts_[row] + begin, end - begin)};
  if (!wholeSizes_.empty() && !view.text.empty()) {
    const auto found = wholeSizes_.find({rowStarts_[row], column});
    if (found != wholeSizes_.end()) view.wholeSize = found->second;
  }
  return view;
}

std::vector<std::optional<std::string>> RowCache::Row(std::size_t row) const {
  std::vector<std::optional<std::string>> cells;
  for (int column = 0; column < columns_; ++column) {
    const CellView view = cell(row, column);
    cells.push_back(view.isNull ? std::nullopt : std::optional<std::string>(std::string(view.text)));
  }
  return cells;
}

std::map<int, std::uint64_t> RowCache::WholeSizes(std::size_t row) const {
  std::map<int, std::uint64_t> sizes;
  if (wholeSizes_.empty()) return sizes;
  for (int column = 0; column < columns_; ++column)
    if (const CellView view = cell(row, column); view.cut()) sizes.emplace(column, view.wholeSize);
  return sizes;
}

void RowCache::BeginRow() {
  if (building_) AbandonRow();
  building_ = true;
  pendingStart_ = arena_.size();
  pendingCells_ = 0;
}

void RowCache::AddNull() {
  const std::uint32_t end = static_cast<std::uint32_t>(arena_.size() - pendingStart_);
  cellEnds_.push_back(end | NullFlag);
  ++pendingCells_;
}

void RowCache::AppendToCell(std::string_view piece) {
  if (arena_.size() - pendingStart_ + piece.size() >= NullFlag)
    throw Error("A row of the result is larger than 2 GB and cannot be held.");
  if (arena_.capacity() - arena_.size() < piece.size())
    arena_.reserve(std::max(arena_.capacity() * 2, arena_.size() + piece.size()));
  arena_.append(piece);
}

void RowCache::EndCell() {
  cellEnds_.push_back(static_cast<std::uint32_t>(arena_.size() - pendingStart_));
  ++pendingCells_;
}

void RowCache::EndCutCell(std::uint64_t wholeSize) {
  wholeSizes_[{pendingStart_, pendingCells_}] = wholeSize;
  EndCell();
}

void RowCache::EndRow() {
  if (pendingCells_ != columns_) {
    AbandonRow();
    throw Error("A row of the result has the wrong number of cells.");
  }
  rowStarts_.push_back(pendingStart_);
  building_ = false;
}

void RowCache::AbandonRow() {
  cellEnds_.resize(cellEnds_.size() - static_cast<std::size_t>(pendingCells_));
  wholeSizes_.erase(wholeSizes_.lower_bound({pendingStart_, 0}), wholeSizes_.end());
  arena_.resize(pendingStart_);
  pendingCells_ = 0;
  building_ = false;
}

std::uint64_t RowCache::AppendCells(const std::vector<std::optional<std::string>>& cells,
                                    std::vector<std::uint32_t>& ends, const std::map<int, std::uint64_t>& wholeSizes) {
  if (cells.size() != static_cast<std::size_t>(columns_)) throw Error("The row has the wrong number of cells.");
  const std::uint64_t start = arena_.size();
  std::uint32_t offset = 0;
  for (int column = 0; column < columns_; ++column) {
    const auto& value = cells[static_cast<std::size_t>(column)];
    if (!value) {
      ends.push_back(offset | NullFlag);
      continue;
    }
    std::string_view held = *value;
    if (const auto given = wholeSizes.find(column); given != wholeSizes.end()) {
      wholeSizes_[{start, column}] = given->second;
    } else if (cut_.cuts(column, value->size())) {
      held = held.substr(0, HeldPrefixBytes);
      wholeSizes_[{start, column}] = value->size();
    }
    if (offset + held.size() >= NullFlag) throw Error("A row larger than 2 GB cannot be held.");
    arena_.append(held);
    offset += static_cast<std::uint32_t>(held.size());
    ends.push_back(offset);
  }
  return start;
}

void RowCache::ReplaceRow(std::size_t row, const std::vector<std::optional<std::string>>& cells) {
  if (row >= rowCount()) throw Error("The row to replace does not exist.");
  // Builds the row at the end of the arena, then moves its cell ends into
  // the old row's place.
  std::vector<std::uint32_t> ends;
  const std::uint64_t start = AppendCells(cells, ends);
  std::ranges::copy(ends, cellEnds_.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(columns_)));
  rowStarts_[row] = start;
}

void RowCache::InsertRow(std::size_t row, const std::vector<std::optional<std::string>>& cells,
                         const std::map<int, std::uint64_t>& wholeSizes) {
  if (row > rowCount() || building_) throw Error("A row cannot be inserted there.");
  std::vector<std::uint32_t> ends;
  const std::uint64_t start = AppendCells(cells, ends, wholeSizes);
  cellEnds_.insert(cellEnds_.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(columns_)),
                   ends.begin(), ends.end());
  rowStarts_.insert(rowStarts_.begin() + static_cast<std::ptrdiff_t>(row), start);
}

void RowCache::RemoveRows(std::size_t first, std::size_t count) {
  if (first + count > rowCount() || building_) throw Error("The rows to remove do not exist.");
  const auto columns = static_cast<std::size_t>(columns_);
  rowStarts_.erase(rowStarts_.begin() + static_cast<std::ptrdiff_t>(first),
                   rowStarts_.begin() + static_cast<std::ptrdiff_t>(first + count));
  cellEnds_.erase(cellEnds_.begin() + static_cast<std::ptrdiff_t>(first * columns),
                  cellEnds_.begin() + static_cast<std::ptrdiff_t>((first + count) * columns));
}

}  // namespace ado

#include "RowWindow.h"

#include <algorithm>

#include "platform/ado/AdoError.h"

namespace ado {

RowWindow::RowWindow(int columns, CellCut cut) : columns_(columns), cut_(std::move(cut)) {}

std::size_t RowWindow::HeldEnd() const {
  if (pages_.empty()) return 0;
  const auto& [start, page] = *pages_.rbegin();
  return start + page->rowCount();
}

std::size_t RowWindow::rowCount() const { return total_ ? *total_ : HeldEnd(); }

RowWindow::Pages::const_iterator RowWindow::PageOf(std::size_t row) const {
  auto after = pages_.upper_bound(row);
  if (after == pages_.begin()) return pages_.end();
  const auto page = std::prev(after);
  return row < page->first + page->second->rowCount() ? page : pages_.end();
}

bool RowWindow::held(std::size_t row) const { return PageOf(row) != pages_.end(); }

CellView RowWindow::cell(std::size_t row, int column) const {
  const auto page = PageOf(row);
  if (page == pages_.end()) throw Error("The row has not been read.");
  return page->second->cell(row - page->first, column);
}

std::vector<std::optional<std::string>> RowWindow::Row(std::size_t row) const {
  const auto page = PageOf(row);
  if (page == pages_.end()) throw Error("The row has not been read.");
  return page->second->Row(row - page->first);
}

std::map<int, std::uint64_t> RowWindow::WholeSizes(std::size_t row) const {
  const auto page = PageOf(row);
  if (page == pages_.end()) throw Error("The row has not been read.");
  return page->second->WholeSizes(row - page->first);
}

RowCache& RowWindow::Head() {
  if (total_) throw Error("Rows are no longer read from the start.");
  Page& head = pages_[0];
  if (!head.rows) head.rows = std::make_unique<RowCache>(columns_, cut_);
  return *head.rows;
}

void RowWindow::SetRowCount(std::size_t rows) {
  total_ = rows;
  if (tail_ && *tail_ >= rows) tail_.reset();
  for (auto page = pages_.begin(); page != pages_.end();) {
    const std::size_t size = page->second->rowCount();
    if (page->first >= rows) {
      page = pages_.erase(page);
      continue;
    }
    if (page->first + size > rows) page->second->RemoveRows(rows - page->first, page->first + size - rows);
    ++page;
  }
}

void RowWindow::Put(std::size_t first, const RowCache& rows, bool guessed) {
  if (!total_) throw Error("Rows are still read from the start.");
  if (rows.columnCount() != columns_) throw Error("The rows have the wrong number of cells.");
  const std::size_t end = std::min(first + rows.rowCount(), *total_);
  if (end <= first) return;
  // Pages the rows overlap go whole; what they held besides is read again
  // when looked at.
  std::erase_if(pages_, [&](const auto& page) {
    return page.first < end && first < page.first + page.second->rowCount();
  });
  auto page = std::make_unique<RowCache>(rows);
  if (first + page->rowCount() > end) page->RemoveRows(end - first, first + page->rowCount() - end);
  pages_.emplace(first, Page{std::move(page), guessed});
}

bool RowWindow::guessed(std::size_t row) const {
  const auto page = PageOf(row);
  return page != pages_.end() && page->second.guessed;
}

std::vector<std::pair<std::size_t, std::size_t>> RowWindow::SettleGuessed(
    const std::function<bool(std::size_t first, const RowCache& rows)>& sure) {
  std::vector<std::pair<std::size_t, std::size_t>> gone;
  for (auto page = pages_.begin(); page != pages_.end();) {
    if (!page->second.guessed || sure(page->first, *page->second.rows)) {
      page->second.guessed = false;
      ++page;
      continue;
    }
    gone.emplace_back(page->first, page->second->rowCount());
    page = pages_.erase(page);
  }
  return gone;
}

void RowWindow::MarkTail(std::size_t from) {
  if (!total_ || from >= *total_) throw Error("The rows from the end start past the last place.");
  tail_ = std::min(tail_.value_or(from), from);
}

void RowWindow::InsertPlaces(std::size_t at, std::size_t count) {
  if (!total_ || at > *total_) throw Error("Places cannot be put there.");
  ++placeChanges_;
  if (const auto page = PageOf(at); page != pages_.end() && page->first < at)
    throw Error("Places cannot be put inside rows read together.");
  MovePages(at, static_cast<std::ptrdiff_t>(count));
  *total_ += count;
}

std::vector<std::pair<std::size_t, std::size_t>> RowWindow::KeepOnly(std::size_t first, std::size_t last) {
  std::vector<std::pair<std::size_t, std::size_t>> gone;
  for (auto page = pages_.begin(); page != pages_.end();) {
    const std::size_t size = page->second->rowCount();
    if (page->first > last || page->first + size <= first) {
      gone.emplace_back(page->first, size);
      page = pages_.erase(page);
    } else {
      ++page;
    }
  }
  return gone;
}

std::size_t RowWindow::heldRows() const {
  std::size_t rows = 0;
  for (const auto& [start, page] : pages_) rows += page->rowCount();
  return rows;
}

std::size_t RowWindow::heldBytes() const {
  std::size_t bytes = 0;
  for (const auto& [start, page] : pages_) bytes += page->arenaBytes();
  return bytes;
}

void RowWindow::ReplaceRow(std::size_t row, const std::vector<std::optional<std::string>>& cells) {
  const auto page = PageOf(row);
  if (page == pages_.end()) throw Error("The row to replace has not been read.");
  const std::vector<std::optional<std::string>> before = page->second->Row(row - page->first);
  for (int cell : keyCells_)
    if (const auto index = static_cast<std::size_t>(cell); index < cells.size() && cells[index] != before.at(index)) {
      ++placeChanges_;
      break;
    }
  page->second->ReplaceRow(row - page->first, cells);
}

void RowWindow::MovePages(std::size_t from, std::ptrdiff_t by) {
  Pages moved;
  for (auto& [start, page] : pages_)
    moved.emplace(start >= from ? static_cast<std::size_t>(static_cast<std::ptrdiff_t>(start) + by) : start,
                  std::move(page));
  pages_ = std::move(moved);
  if (tail_ && *tail_ >= from) tail_ = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(*tail_) + by);
}

void RowWindow::InsertRow(std::size_t row, const std::vector<std::optional<std::string>>& cells) {
  if (row > rowCount()) throw Error("A row cannot be inserted there.");
  ++placeChanges_;
  if (total_) ++*total_;
  if (const auto page = PageOf(row); page != pages_.end()) {
    page->second->InsertRow(row - page->first, cells);
    MovePages(row + 1, 1);
    return;
  }
  MovePages(row, 1);
  if (row > 0) {
    if (const auto before = PageOf(row - 1); before != pages_.end()) {
      before->second->InsertRow(row - before->first, cells);
      return;
    }
  }
  auto page = std::make_unique<RowCache>(columns_, cut_);
  page->InsertRow(0, cells);
  pages_.emplace(row, Page{std::move(page)});
}

void RowWindow::RemoveRows(std::size_t first, std::size_t count) {
  if (first + count > rowCount()) throw Error("The rows to remove do not exist.");
  ++placeChanges_;
  const std::size_t end = first + count;
  Pages kept;
  for (auto& [start, page] : pages_) {
    const std::size_t size = page->rowCount();
    const std::size_t from = std::max(start, first), to = std::min(start + size, end);
    if (from < to) page->RemoveRows(from - start, to - from);
    if (page->rowCount() == 0) continue;
    kept.emplace(start < first ? start : start >= end ? start - count : first, std::move(page));
  }
  pages_ = std::move(kept);
  if (total_) *total_ -= count;
  if (tail_ && *tail_ > first) tail_ = *tail_ >= end ? *tail_ - count : first;
  if (tail_ && total_ && *tail_ >= *total_) tail_.reset();
}

}  // namespace ado

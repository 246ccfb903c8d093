// The page of a large table's places the views are told of, and how it
// follows places that come and go.
#include <algorithm>

#include "RecordsetModel.h"

namespace ui {

int RecordsetModel::modelRow(std::size_t cached) const {
  return static_cast<int>(cached - pageBase_) + (newRow_ && cached >= newRow_->at ? 1 : 0);
}

void RecordsetModel::insertPlaces(std::size_t first, std::size_t count, const std::function<void()>& change,
                                  bool bounded) {
  const std::size_t end = pageBase_ + pagePlaces_;
  const bool reachesEnd = end == shownRows_;
  const auto takeIn = [&] {
    if (change) change();
    shownRows_ += count;
    if (newRow_ && newRow_->at > first) newRow_->at += count;
  };
  if (pageBase_ > 0 && first <= pageBase_) {
    // Before the page: it moves on with its rows; only their numbers change.
    if (change) change();
    shownRows_ += count;
    pageBase_ += count;
    if (newRow_) newRow_->at += count;
    emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
    emit pageChanged();
    return;
  }
  if (first > end || (first == end && !reachesEnd)) {
    takeIn();
    emit pageChanged();
    return;
  }
  // In the page or at its end, which is the table's. A full page at the
  // table's end keeps it: its first rows go.
  std::size_t base = pageBase_, newEnd = end + count;
  if (bounded && !newRow_ && newEnd - base > pageRows_) {
    if (reachesEnd && first < end)
      base = newEnd - pageRows_;
    else
      newEnd = std::max(end, base + pageRows_);
  }
  if (const std::size_t leaving = std::min(base, first) - pageBase_; base > pageBase_ && leaving > 0) {
    beginRemoveRows({}, 0, static_cast<int>(leaving) - 1);
    pageBase_ += leaving;
    pagePlaces_ -= leaving;
    endRemoveRows();
  }
  // Rows after the new places that no longer fit leave at the bottom.
  const std::size_t kept = newEnd > count ? std::max(first, newEnd - count) : first;
  if (kept < end) {
    beginRemoveRows({}, modelRow(kept), modelRow(end - 1));
    pagePlaces_ -= end - kept;
    endRemoveRows();
  }
  const std::size_t from = std::max(first, base), to = std::min(first + count, newEnd);
  const std::size_t shown = to > from ? to - from : 0;
  const bool renumbered = base != pageBase_;
  if (shown > 0) beginInsertRows({}, modelRow(first), modelRow(first) + static_cast<int>(shown) - 1);
  takeIn();
  pageBase_ = base;
  pagePlaces_ += shown;
  if (shown > 0) endInsertRows();
  if (renumbered) emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
  emit pageChanged();
}

void RecordsetModel::removePlaces(std::size_t first, std::size_t count, const std::function<void()>& change) {
  const std::size_t end = pageBase_ + pagePlaces_;
  const std::size_t before = first < pageBase_ ? std::min(count, pageBase_ - first) : 0;
  const std::size_t from = std::max(first, pageBase_), to = std::min(first + count, end);
  const std::size_t shown = to > from ? to - from : 0;
  if (shown > 0) beginRemoveRows({}, modelRow(from), modelRow(from) + static_cast<int>(shown) - 1);
  if (change) change();
  shownRows_ -= count;
  pageBase_ -= before;
  pagePlaces_ -= shown;
  if (newRow_ && newRow_->at > first) newRow_->at -= std::min(count, newRow_->at - first);
  if (shown > 0) endRemoveRows();
  if (before > 0) emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
  fillPage();
  emit pageChanged();
}

void RecordsetModel::fillPage() {
  if (pagePlaces_ >= pageRows_) return;
  const std::size_t end = pageBase_ + pagePlaces_;
  if (end < shownRows_) {
    const std::size_t more = std::min(pageRows_ - pagePlaces_, shownRows_ - end);
    beginInsertRows({}, modelRow(end), modelRow(end) + static_cast<int>(more) - 1);
    pagePlaces_ += more;
    endInsertRows();
  } else if (pageBase_ > 0) {
    const std::size_t more = std::min(pageRows_ - pagePlaces_, pageBase_);
    beginInsertRows({}, 0, static_cast<int>(more) - 1);
    pageBase_ -= more;
    pagePlaces_ += more;
    endInsertRows();
  }
}

void RecordsetModel::resetPage() {
  pageBase_ = 0;
  pagePlaces_ = std::min(shownRows_, pageRows_);
}

bool RecordsetModel::movePage(std::size_t base) {
  base = std::min(base, shownRows_ > pageRows_ ? shownRows_ - pageRows_ : 0);
  const std::size_t places = std::min(pageRows_, shownRows_ - base);
  if (base == pageBase_ && places == pagePlaces_) return true;
  if (newRow_) return false;
  beginResetModel();
  pageBase_ = base;
  pagePlaces_ = places;
  endResetModel();
  emit pageChanged();
  return true;
}

void RecordsetModel::showCachedRow(std::size_t cached) {
  if (inPage(cached)) return;
  movePage(cached > pageRows_ / 2 ? cached - pageRows_ / 2 : 0);
}

void RecordsetModel::cachedRowsChanged(std::size_t first, std::size_t last) {
  const std::size_t end = pageBase_ + pagePlaces_;
  first = std::max(first, pageBase_);
  last = std::min(last, end == 0 ? 0 : end - 1);
  if (first >= end || last < first) return;
  emit dataChanged(index(modelRow(first), 0), index(modelRow(last), columnCount() - 1));
}

}  // namespace ui

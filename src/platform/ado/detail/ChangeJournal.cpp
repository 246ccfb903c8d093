#include "ChangeJournal.h"

namespace ado {

ChangeJournal::Handle ChangeJournal::Follow(std::size_t at) {
  if (const auto found = byCachedRow_.find(at); found != byCachedRow_.end()) return found->second;
  return FollowNew(at);
}

ChangeJournal::Handle ChangeJournal::FollowNew(std::size_t at) {
  rows_.push_back({std::nullopt, at});
  const Handle row = rows_.size() - 1;
  byCachedRow_[at] = row;
  return row;
}

ChangeJournal::Handle ChangeJournal::FollowUnheld() {
  rows_.push_back({std::nullopt, Unplaced});
  return rows_.size() - 1;
}

std::optional<std::size_t> ChangeJournal::CachedAt(Handle row) const {
  const std::size_t at = rows_.at(row).lastAt;
  const auto found = byCachedRow_.find(at);
  if (found == byCachedRow_.end() || found->second != row) return std::nullopt;
  return at;
}

void ChangeJournal::Place(Handle row, std::size_t at) {
  if (const auto old = CachedAt(row)) byCachedRow_.erase(*old);
  rows_.at(row).lastAt = at;
  byCachedRow_[at] = row;
}

void ChangeJournal::Shift(std::size_t from, std::ptrdiff_t by) {
  std::map<std::size_t, Handle> moved;
  for (const auto& [at, row] : byCachedRow_) {
    const std::size_t now = at >= from ? static_cast<std::size_t>(static_cast<std::ptrdiff_t>(at) + by) : at;
    rows_[row].lastAt = now;
    moved.emplace(now, row);
  }
  byCachedRow_ = std::move(moved);
}

void ChangeJournal::Drop(std::size_t first, std::size_t count) {
  // A row put back goes where it was, give or take the rows gone before it.
  byCachedRow_.erase(byCachedRow_.lower_bound(first), byCachedRow_.lower_bound(first + count));
}

void ChangeJournal::ForgetPlaces() { byCachedRow_.clear(); }

void ChangeJournal::Record(Entry entry) {
  for (const Step& step : entry.steps) rows_.at(step.row).written = step.after;
  undo_.push_back(std::move(entry));
  redo_.clear();
}

void ChangeJournal::Undone() {
  redo_.push_back(std::move(undo_.back()));
  undo_.pop_back();
}

void ChangeJournal::Redone() {
  undo_.push_back(std::move(redo_.back()));
  redo_.pop_back();
}

}  // namespace ado

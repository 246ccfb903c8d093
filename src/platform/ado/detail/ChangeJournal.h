#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "StoredRow.h"

namespace ado {

// The changes written through one open table, newest last, to be undone and
// redone by inverse writes. A row is followed by a handle of its own: its
// version changes with every write, and its place among the cached rows with
// every row added or removed before it.
class ChangeJournal {
 public:
  using Handle = std::size_t;

  // One row of a change: what it held before and after, where it was there.
  // Values the row cache holds cut are held so here too, but for those a
  // change wrote and the rows a change added or deleted, which an undo or
  // redo gives back whole.
  struct Step {
    Handle row = 0;
    std::vector<int> columns;       // written, where the row was changed
    std::optional<HeldRow> before;  // std::nullopt: the change added the row
    std::optional<HeldRow> after;   // std::nullopt: the change deleted it
    // A row a delete took with it through the table's key to itself (ON
    // DELETE CASCADE): how many rows lie between it and a row deleted
    // (1: it referred to one); 0: a row the change named. Such rows are
    // put back after those they refer to, and go again with them.
    std::size_t depth = 0;
  };
  struct Entry {
    std::string what;  // "paste of 12 cells"
    std::vector<Step> steps;
  };

  // The handle of the cached row `at`; a new one when it has none yet.
  Handle Follow(std::size_t at);
  // A handle for a row added at cached row `at`.
  Handle FollowNew(std::size_t at);
  // A handle for a row the cache does not hold (it has no place).
  Handle FollowUnheld();
  static constexpr std::size_t Unplaced = static_cast<std::size_t>(-1);
  // Where the row is cached now, if it is.
  std::optional<std::size_t> CachedAt(Handle row) const;
  std::size_t LastCachedAt(Handle row) const { return rows_.at(row).lastAt; }
  void Place(Handle row, std::size_t at);

  // Cached rows from `from` on moved by `by`.
  void Shift(std::size_t from, std::ptrdiff_t by);
  // Cached rows taken out of the cache (their handles remember where).
  void Drop(std::size_t first, std::size_t count);
  // The cache was read anew: no handle knows its row's place any more.
  void ForgetPlaces();

  // The row as our last write left it in the database; std::nullopt while
  // our last write deleted it.
  const std::optional<HeldRow>& Written(Handle row) const { return rows_.at(row).written; }
  void SetWritten(Handle row, std::optional<HeldRow> stored) { rows_.at(row).written = std::move(stored); }

  // A change just written; what was undone can no longer be redone.
  void Record(Entry entry);
  const Entry* ToUndo() const { return undo_.empty() ? nullptr : &undo_.back(); }
  const Entry* ToRedo() const { return redo_.empty() ? nullptr : &redo_.back(); }
  // The change ToUndo (ToRedo) names was undone (redone).
  void Undone();
  void Redone();
  // The change can never be undone (redone): its rows were changed by
  // someone else since.
  void DropUndo() { undo_.pop_back(); }
  void DropRedo() { redo_.pop_back(); }

 private:
  struct Followed {
    std::optional<HeldRow> written;
    std::size_t lastAt = 0;
  };
  std::vector<Followed> rows_;
  std::map<std::size_t, Handle> byCachedRow_;
  std::vector<Entry> undo_;
  std::vector<Entry> redo_;
};

}  // namespace ado

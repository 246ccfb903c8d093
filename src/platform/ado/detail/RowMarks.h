#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace ado {

// What a recordset knows of its rows beyond their cells, by place: rows
// shown gone, added here, no longer matched by the view, written here, why
// a row cannot be changed, and cells shown by an exact text of their own.
// The marks move with their rows and go with them, all together.
struct RowMarks {
  // A write found the row gone; it stays, struck through.
  std::set<std::size_t> deleted;
  // Added here: they stand where they were added rather than in the
  // table's order, so no read goes on from them.
  std::set<std::size_t> added;
  // Changed here so that the view's find or filters would no longer show
  // them; they stay in view until the rows are read anew.
  std::set<std::size_t> unmatched;
  // Written here (changed, or shown as the database holds them after a
  // refused write): they keep their places where the view may now put them
  // elsewhere.
  std::set<std::size_t> written;
  // Added here and not found again: why they cannot be changed.
  std::map<std::size_t, std::string> reasons;
  // Exact texts of cells whose usual text loses part of the value (cell
  // views point into them, so they stay until their row changes).
  mutable std::map<std::pair<std::size_t, int>, std::string> exactTexts;

  // Places from `from` on move by `by`.
  void Shift(std::size_t from, std::ptrdiff_t by);
  // The places [first, first + count) hold no rows any more.
  void Forget(std::size_t first, std::size_t count);
  void Clear();
  // The row at `row` was replaced: its exact texts no longer hold.
  void ForgetExactTexts(std::size_t row);
};

}  // namespace ado

#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "RowCache.h"

namespace ado {

// The rows of a result by their place in it, of which only some are held:
// pages of consecutive rows, each a compact row cache. Rows read from the
// start one block after the other grow the first page; rows read at any
// other place come as pages of their own. Pages far from what is looked at
// can be let go and read again later.
//
// Until the number of rows is known, the rows are those held from the
// start; once it is set, every place up to it is a row, held or not.
//
// Pages read where a key was worked out from a guess of the number of rows
// are held as guessed: their places may be off until the count settles
// them (see SettleGuessed). So are pages read on from a guessed one.
class RowWindow {
 public:
  explicit RowWindow(int columns, CellCut cut = {});

  int columnCount() const { return columns_; }
  // How the pages hold long values.
  const CellCut& cut() const { return cut_; }
  // Places: rows held from the start, or the number set.
  std::size_t rowCount() const;
  bool held(std::size_t row) const;
  // Raises where the row is not held.
  CellView cell(std::size_t row, int column) const;
  std::vector<std::optional<std::string>> Row(std::size_t row) const;
  std::map<int, std::uint64_t> WholeSizes(std::size_t row) const;

  // The page the rows read from the start go to; it must end where the
  // rows end (nothing set beyond it).
  RowCache& Head();
  // Every place up to `rows` becomes a row; places past it go with their
  // rows.
  void SetRowCount(std::size_t rows);
  bool rowCountSet() const { return total_.has_value(); }
  // Rows read at a place, in order; rows held there are replaced.
  void Put(std::size_t first, const RowCache& rows, bool guessed = false);
  // Whether the row is held in a page whose places are guessed.
  bool guessed(std::size_t row) const;
  // Pages whose places are guessed become sure where `sure` says their
  // first and last row are where they belong, and go otherwise; returns
  // the places let go of, as (first, count).
  std::vector<std::pair<std::size_t, std::size_t>> SettleGuessed(
      const std::function<bool(std::size_t first, const RowCache& rows)>& sure);
  // Counts the changes that move rows to other places or give them other
  // order keys (`keyCells`, set once), made through this window: rows
  // inserted or removed, places put in, order keys replaced.
  void WatchKeyCells(std::vector<int> keyCells) { keyCells_ = std::move(keyCells); }
  std::size_t placeChanges() const { return placeChanges_; }
  // While the number set is a guess, rows may be read back from the last
  // place: the places from `tailFrom` on count from the end, not the
  // start, and move with it when the number is settled.
  std::optional<std::size_t> tailFrom() const { return tail_; }
  void MarkTail(std::size_t from);
  void ForgetTail() { tail_.reset(); }
  // Places not held, put before `at`; those after it move.
  void InsertPlaces(std::size_t at, std::size_t count);
  // Lets go of every page that has no row in [first, last]; returns the
  // places let go of, as (first, count).
  std::vector<std::pair<std::size_t, std::size_t>> KeepOnly(std::size_t first, std::size_t last);
  std::size_t heldRows() const;
  std::size_t heldBytes() const;

  // As RowCache does, by place; an inserted row is held, places after it
  // move by one.
  void ReplaceRow(std::size_t row, const std::vector<std::optional<std::string>>& cells);
  void InsertRow(std::size_t row, const std::vector<std::optional<std::string>>& cells);
  void RemoveRows(std::size_t first, std::size_t count);

 private:
  struct Page {
    std::unique_ptr<RowCache> rows;
    bool guessed = false;
    RowCache* operator->() const { return rows.get(); }
  };
  using Pages = std::map<std::size_t, Page>;
  // The page holding the row, or end().
  Pages::const_iterator PageOf(std::size_t row) const;
  // Pages from `from` on moved by `by` places.
  void MovePages(std::size_t from, std::ptrdiff_t by);
  std::size_t HeldEnd() const;

  int columns_;
  CellCut cut_;
  Pages pages_;
  std::optional<std::size_t> total_;
  std::optional<std::size_t> tail_;
  std::vector<int> keyCells_;
  std::size_t placeChanges_ = 0;
};

}  // namespace ado

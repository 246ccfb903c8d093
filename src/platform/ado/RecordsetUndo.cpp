// Undo and redo of the changes written through a recordset.
#include <algorithm>
#include <map>

#include "AdoError.h"
#include "Recordset.h"
#include "RecordsetState.h"
#include "detail/WriteFailure.h"

namespace ado {

std::string Recordset::UndoName() const {
  const ChangeJournal::Entry* entry = state_ ? state_->journal.ToUndo() : nullptr;
  return entry ? entry->what : std::string();
}

std::string Recordset::RedoName() const {
  const ChangeJournal::Entry* entry = state_ ? state_->journal.ToRedo() : nullptr;
  return entry ? entry->what : std::string();
}

Recordset::Reverted Recordset::Undo() { return Revert(true); }

Recordset::Reverted Recordset::Redo() { return Revert(false); }

std::vector<CellChange> Recordset::InsertCells(const StoredRow& row, bool numbered) {
  // Every value the row held, exactly as stored, bytes and numbers that
  // cannot be edited here too; with `numbered`, also those the database
  // numbers itself (a key, mostly), which most databases take when given.
  // Columns it computes are its own to compute again.
  std::vector<CellChange> cells;
  TableWriter& writer = *Writer();
  for (int column = 0; column < fieldCount(); ++column)
    if (writer.Insertable(column, numbered)) cells.push_back(ExactCell(row, column));
  return cells;
}

std::optional<std::size_t> Recordset::HeldPlaceOf(const StoredRow& row) const {
  const OpenState& state = *state_;
  const std::string identity = IdentityOf([&](int column) {
    const std::optional<std::string>& cell = row.at(static_cast<std::size_t>(column));
    return cell ? CellView{false, *cell} : CellView{};
  });
  if (identity.empty()) return std::nullopt;
  for (std::size_t place = 0; place < state.rows->rowCount(); ++place)
    if (state.rows->held(place) && RowIdentity(place) == identity) return place;
  return std::nullopt;
}

Recordset::Reverted Recordset::Revert(bool undo) {
  RequireOpen();
  OpenState& state = *state_;
  ChangeJournal& journal = state.journal;
  const ChangeJournal::Entry* entry = undo ? journal.ToUndo() : journal.ToRedo();
  if (!entry) throw Error(undo ? "There is no change to undo." : "There is no change to redo.");
  TableWriter* writer = Writer();
  if (!writer) throw Error("The recordset was opened read-only.");
  // Rows read anew since (a refresh, another view, a block let go and read
  // again) are found among the rows held by their identity, so that they
  // show what the undo wrote.
  for (const ChangeJournal::Step& step : entry->steps)
    if (!journal.CachedAt(step.row) && journal.Written(step.row))
      if (const std::optional<std::size_t> at = HeldPlaceOf(journal.Written(step.row)->cells))
        journal.Place(step.row, *at);

  // Each row goes from the state the change left it in to the other one:
  // changed back, deleted again, or added again.
  TableWriter::RowWrites writes;
  std::vector<ChangeJournal::Handle> updated, deleted, added, taken;
  for (const ChangeJournal::Step& step : entry->steps) {
    const std::optional<HeldRow>& from = undo ? step.after : step.before;
    const std::optional<HeldRow>& to = undo ? step.before : step.after;
    const std::optional<HeldRow>& written = journal.Written(step.row);
    if (from && !written) throw Error("The change cannot be undone: one of its rows is no longer known.");
    if (from && to) {
      std::vector<CellChange> changes;
      for (int column : step.columns) changes.push_back(ExactCell(to->cells, column));
      writes.updates.push_back({{}, std::move(changes)});
      updated.push_back(step.row);
    } else if (from) {
      // A row a delete took with it goes again with the row it refers to.
      (step.depth > 0 ? taken : deleted).push_back(step.row);
    } else {
      added.push_back(step.row);
    }
  }
  // Rows added again go back where they were, the first first, so that
  // each lands between the rows it was between; rows a delete took with it
  // after the rows they refer to.
  std::map<ChangeJournal::Handle, std::size_t> depths;
  for (const ChangeJournal::Step& step : entry->steps) depths[step.row] = step.depth;
  std::ranges::sort(added, {}, [&](ChangeJournal::Handle row) { return journal.LastCachedAt(row); });
  std::ranges::stable_sort(added, {}, [&](ChangeJournal::Handle row) { return depths[row]; });
  const bool cascaded = std::ranges::any_of(entry->steps, [](const auto& step) { return step.depth > 0; });
  const auto addAgain = [&](bool numbered) {
    writes.inserts.clear();
    for (ChangeJournal::Handle row : added)
      for (const ChangeJournal::Step& step : entry->steps)
        if (step.row == row) writes.inserts.push_back(InsertCells((undo ? step.before : step.after)->cells, numbered));
  };
  addAgain(true);
  std::vector<ChangeJournal::Handle> order = updated;
  order.insert(order.end(), deleted.begin(), deleted.end());
  order.insert(order.end(), added.begin(), added.end());
  std::vector<std::string> labels;
  for (ChangeJournal::Handle row : order) {
    const std::optional<std::size_t> at = journal.CachedAt(row);
    const std::size_t last = at ? *at : journal.LastCachedAt(row);
    labels.push_back(last == ChangeJournal::Unplaced ? std::string("a row the delete took with it")
                                                     : "row " + std::to_string(last + 1));
  }

  const std::string failing = undo ? "Nothing was undone, because of " : "Nothing was redone, because of ";
  std::vector<WriteFailure> failures;
  for (const std::string& label : labels) failures.emplace_back(failing + label + ": ");
  const auto write = [&] { return writer->Write(writes, failures, [this] { ReleaseReadLock(-1); }); };
  TableWriter::Written written;
  try {
    // The rows as our last write left them, read whole again where they
    // hold long values.
    for (std::size_t index = 0; index < updated.size() + deleted.size(); ++index) {
      const ChangeJournal::Handle row = order[index];
      try {
        StoredRow whole = WholeOf(*journal.Written(row), WriteFailure(failing + labels[index] + ": "));
        if (index < updated.size())
          writes.updates[index].original = std::move(whole);
        else
          writes.deletes.push_back(std::move(whole));
      } catch (WriteError& error) {
        error.setFailedRow(index);
        throw;
      }
    }
    try {
      written = write();
    } catch (const WriteError& error) {
      // A number the database insists on choosing itself, or one taken
      // meanwhile: the rows go back with new numbers.
      const bool refusedAdding = error.failedRow() >= updated.size() + deleted.size() && !error.now().row;
      std::vector<std::vector<CellChange>> withNumbers = writes.inserts;
      addAgain(false);
      if (!refusedAdding || withNumbers == writes.inserts) throw;
      // The rows a delete took with it refer to the others by their keys.
      if (cascaded)
        throw WriteError(failing + "the rows the delete took with it refer to the others by their keys, and the "
                                   "database did not take those keys back. Nothing was changed.\n" +
                             error.what(),
                         {}, {});
      written = write();
    }
  } catch (const WriteError& error) {
    const ChangeJournal::Handle row = order.at(error.failedRow());
    if (const std::optional<std::size_t> at = journal.CachedAt(row)) ShowRowNow(*at, error);
    // Changed or deleted by someone else since: it never can be done now.
    if (error.now().row || error.now().deleted) undo ? journal.DropUndo() : journal.DropRedo();
    throw;
  }

  const CellCut& cut = state.rows->cut();
  for (std::size_t index = 0; index < updated.size(); ++index) {
    journal.SetWritten(updated[index], cut.Held(written.updated[index]));
    if (const std::optional<std::size_t> at = journal.CachedAt(updated[index]))
      PutStoredRow(*at, written.updated[index]);
  }
  for (ChangeJournal::Handle row : deleted) journal.SetWritten(row, std::nullopt);
  for (ChangeJournal::Handle row : taken) journal.SetWritten(row, std::nullopt);
  // Put in the cache in the order of their places; a row the cache did not
  // hold is read where it is when looked at.
  std::vector<std::size_t> placing(added.size());
  for (std::size_t index = 0; index < placing.size(); ++index) placing[index] = index;
  std::ranges::stable_sort(placing, {}, [&](std::size_t index) { return journal.LastCachedAt(added[index]); });
  for (std::size_t index : placing) {
    const TableWriter::Inserted& inserted = written.inserted[index];
    journal.SetWritten(added[index], cut.Held(inserted.row));
    if (journal.LastCachedAt(added[index]) == ChangeJournal::Unplaced) continue;
    const std::size_t at = std::min(journal.LastCachedAt(added[index]), state.rows->rowCount());
    PutNewRow(at, inserted.row, inserted.unidentified);
    journal.Place(added[index], at);
  }
  undo ? journal.Undone() : journal.Redone();

  Reverted reverted;
  const auto placed = [&](const std::vector<ChangeJournal::Handle>& rows, std::vector<std::size_t>& into) {
    for (ChangeJournal::Handle row : rows)
      if (const std::optional<std::size_t> at = journal.CachedAt(row)) into.push_back(*at);
    std::ranges::sort(into);
  };
  placed(updated, reverted.changed);
  placed(added, reverted.added);
  deleted.insert(deleted.end(), taken.begin(), taken.end());
  placed(deleted, reverted.removed);
  std::vector<std::size_t> meant = reverted.changed;
  meant.insert(meant.end(), reverted.added.begin(), reverted.added.end());
  meant.insert(meant.end(), reverted.removed.begin(), reverted.removed.end());
  LookBeyond(meant, !reverted.removed.empty(), !updated.empty(), !added.empty());
  return reverted;
}

}  // namespace ado

// What a write does beyond the rows it names, where the table's keys to
// itself or its triggers reach other rows: a delete that takes rows with
// it, keys changed and cells set to NULL in the rows that refer to a row,
// rows a trigger writes. The rows held are shown as they are now.
#include <algorithm>
#include <set>

#include "AdoError.h"
#include "Recordset.h"
#include "RecordsetState.h"
#include "detail/WriteFailure.h"

namespace ado {

Recordset::DeleteReach Recordset::ReachOfDelete(const std::vector<std::size_t>& rows) {
  RequireOpen();
  DeleteReach reach;
  TableWriter* writer = Writer();
  if (!writer || !state_->read) return reach;
  const RowEffects& effects = writer->read().effects;
  reach.changesOthers = effects.triggers || std::ranges::any_of(effects.selfReferences, [](const auto& key) {
                          return key.onDelete == RowEffects::Action::SetNull ||
                                 key.onDelete == RowEffects::Action::SetDefault;
                        });
  if (!effects.deletesCascade()) return reach;
  std::vector<StoredRow> named;
  for (std::size_t row : rows)
    if (state_->rows->held(row)) named.push_back(CachedRow(row));
  const std::size_t found = writer->DeletedWith(named).size();
  reach.taken = found > named.size() ? found - named.size() : 0;
  return reach;
}

Recordset::RowsBeyond Recordset::TakeRowsBeyond() {
  if (!state_) return {};
  RowsBeyond beyond = std::move(state_->beyond);
  state_->beyond = {};
  if (!beyond.kept.empty()) beyond.kept += " (a trigger on the table sets it back).";
  for (std::vector<std::size_t>* places : {&beyond.changed, &beyond.gone}) {
    std::ranges::sort(*places);
    places->erase(std::unique(places->begin(), places->end()), places->end());
  }
  return beyond;
}

Recordset::Taking Recordset::TakenWith(const std::vector<StoredRow>& originals) {
  OpenState& state = *state_;
  Taking taking;
  taking.depths.assign(originals.size(), 0);
  TableWriter& writer = *Writer();
  if (!writer.read().effects.deletesCascade()) return taking;
  const std::vector<int> identity = state.read->dialect->IdentityCells(*state.read, state.visibleColumns());
  const auto same = [&](const StoredRow& a, const StoredRow& b) {
    return !identity.empty() && std::ranges::all_of(identity, [&](int cell) {
      return a[static_cast<std::size_t>(cell)] == b[static_cast<std::size_t>(cell)];
    });
  };
  for (DeleteCascade::Taken& taken : writer.DeletedWith(originals)) {
    const auto named = std::ranges::find_if(originals, [&](const StoredRow& row) { return same(row, taken.row); });
    if (named != originals.end()) {
      taking.depths[static_cast<std::size_t>(named - originals.begin())] = taken.depth;
      continue;
    }
    ChangeJournal::Step step;
    if (const std::optional<std::size_t> at = HeldPlaceOf(taken.row)) {
      step.row = state.journal.Follow(*at);
      taking.held.push_back(*at);
    } else {
      step.row = state.journal.FollowUnheld();
    }
    step.before = state.rows->cut().Held(std::move(taken.row));
    step.depth = taken.depth;
    taking.steps.push_back(std::move(step));
  }
  return taking;
}

void Recordset::LookBeyond(const std::vector<std::size_t>& meant, bool deletes, bool updates, bool inserts) {
  OpenState& state = *state_;
  if (!state.writer) return;
  const RowEffects& effects = state.writer->read().effects;
  if (!(deletes && effects.deleteReaches()) && !(updates && effects.updateReaches()) &&
      !(inserts && effects.insertReaches()))
    return;
  // Without triggers only the rows that refer to another can have changed.
  const auto refers = [&](const StoredRow& row) {
    return effects.triggers || std::ranges::any_of(effects.selfReferences, [&](const auto& key) {
             return std::ranges::any_of(key.referencing,
                                        [&](int column) { return row[static_cast<std::size_t>(column)].has_value(); });
           });
  };
  const std::set<std::size_t> named(meant.begin(), meant.end());
  for (std::size_t place = 0; place < state.rows->rowCount(); ++place) {
    if (!state.rows->held(place) || named.contains(place) || state.marks.deleted.contains(place) ||
        state.marks.reasons.contains(place))
      continue;
    const HeldRow held{CachedRow(place), state.rows->WholeSizes(place)};
    if (!refers(held.cells)) continue;
    const ChangeVerifier::Found found = state.writer->FindNow(held.cells);
    if (found.fate == ChangeVerifier::Fate::Deleted) {
      state.beyond.gone.push_back(place);
    } else if (!found.row) {
      // Changed beyond finding (a table without a key): shown as gone.
      state.marks.deleted.insert(place);
      state.beyond.changed.push_back(place);
    } else if (HeldRow now = state.rows->cut().Held(*found.row); now != held) {
      // Our own write changed it: an undo of an earlier change of the row
      // starts from the row as it is now.
      const ChangeJournal::Handle followed = state.journal.Follow(place);
      if (state.journal.Written(followed) && state.journal.Written(followed)->cells == held.cells)
        state.journal.SetWritten(followed, std::move(now));
      PutStoredRow(place, *found.row);
      state.beyond.changed.push_back(place);
    }
  }
}

bool Recordset::KeptOldValue(const StoredRow& original, const StoredRow& stored, const CellChange& change) const {
  const auto cell = static_cast<std::size_t>(change.column);
  if (!state_->writer || !state_->writer->read().effects.beforeUpdate || cell >= stored.size()) return false;
  return stored[cell] == original[cell] && stored[cell] != change.value;
}

void Recordset::NoteKeptValues(std::size_t row, const StoredRow& original, const StoredRow& stored,
                               const std::vector<CellChange>& changes) {
  std::string& kept = state_->beyond.kept;
  for (const CellChange& change : changes) {
    if (!KeptOldValue(original, stored, change)) continue;
    kept += (kept.empty() ? "The rows were saved, but the database kept the old value of row " : "; row ") +
            std::to_string(row + 1) + ", column \"" + state_->columns[static_cast<std::size_t>(change.column)].name +
            "\"";
  }
}

}  // namespace ado

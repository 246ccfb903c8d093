// Changes of the rows a recordset holds, written through its table's
// writer: each one row or many, all or none, kept in the undo journal.
#include "AdoError.h"
#include "Recordset.h"
#include "RecordsetState.h"
#include "detail/MissingReference.h"
#include "detail/WriteFailure.h"

namespace ado {

std::string Recordset::RowReadOnlyReason(std::size_t row) const {
  if (!state_) return {};
  if (state_->marks.deleted.contains(row))
    return "The row is no longer as it was read: someone else changed or deleted it. Open the table again to edit it.";
  const auto found = state_->marks.reasons.find(row);
  return found == state_->marks.reasons.end() ? std::string() : found->second;
}

std::optional<std::string> Recordset::EmptiedValue(int column) const {
  const OpenState& state = State();
  if (column < 0 || column >= fieldCount()) throw Error(NoSuchFieldMessage);
  const auto index = static_cast<std::size_t>(column);
  const bool holdsText = state.read && index < state.read->holdsText.size() ? state.read->holdsText[index]
                                                                            : state.columns[index].isText();
  if (holdsText) return std::string();
  return std::nullopt;
}

void Recordset::UpdateCell(std::size_t row, int column, const std::optional<std::string>& value) {
  RequireOpen();
  const std::string reason = ReadOnlyReason(column);
  if (!reason.empty()) throw Error(reason);
  OpenState& state = *state_;
  if (!state.rows->held(row)) throw Error("The row to change has not been read.");
  if (const std::string why = RowReadOnlyReason(row); !why.empty()) throw Error(why);
  WriteFailure failure(state.columns[static_cast<std::size_t>(column)].name, value);
  const StoredRow original = WholeRow(row, failure);
  failure.NameMissingReference(MissingReferenceOf(references(), original, state.visibleColumns(), {{column, value}}));
  TableWriter::Written written;
  try {
    written = Writer()->Write({{{original, {CellChange{column, value}}}}, {}, {}}, {failure},
                              [this, column] { ReleaseReadLock(column); });
  } catch (const WriteError& error) {
    ShowRowNow(row, error);
    throw;
  }
  const StoredRow& stored = written.updated.front();
  PutStoredRow(row, stored);
  if (KeptOldValue(original, stored, CellChange{column, value})) failure.RaiseKeptOldValue(RowNow{stored, false});
  const CellCut& cut = state.rows->cut();
  state.journal.Record(
      {"cell edit", {{state.journal.Follow(row), {column}, cut.Held(original, {column}), cut.Held(stored, {column})}}});
  LookBeyond({row}, false, true, false);
}

void Recordset::PutStoredRow(std::size_t row, const StoredRow& stored) {
  OpenState& state = *state_;
  state.rows->ReplaceRow(row, stored);
  state.marks.written.insert(row);
  state.marks.ForgetExactTexts(row);
}

void Recordset::ShowRowNow(std::size_t row, const WriteError& error) {
  if (error.now().row) PutStoredRow(row, *error.now().row);
  if (error.now().deleted) state_->marks.deleted.insert(row);
}

StoredRow Recordset::CachedRow(std::size_t row) const { return state_->rows->Row(row); }

void Recordset::ShiftRows(std::size_t from, std::ptrdiff_t by) {
  state_->marks.Shift(from, by);
  state_->journal.Shift(from, by);
}

void Recordset::DeleteRows(const std::vector<std::size_t>& rows) {
  RequireOpen();
  OpenState& state = *state_;
  TableWriter* writer = Writer();
  if (!writer) throw Error(ReadOnlyRecordsetMessage);
  if (const std::string why = writer->DeletingReadOnlyReason(); !why.empty())
    throw Error("No row can be deleted: " + why);
  // A row the grid shows twice (found again by its key) is deleted once.
  std::vector<std::size_t> deleting;
  std::vector<StoredRow> originals;
  std::set<StoredRow> seen;
  for (std::size_t row : rows) {
    if (!state.rows->held(row)) throw Error("The row to delete has not been read.");
    if (const std::string why = RowReadOnlyReason(row); !why.empty())
      throw Error("Row " + std::to_string(row + 1) + " cannot be deleted: " + why);
    StoredRow original = WholeRow(row, WriteFailure("Row " + std::to_string(row + 1) + " could not be deleted: "));
    if (!seen.insert(original).second) continue;
    deleting.push_back(row);
    originals.push_back(std::move(original));
  }
  const std::string rowsNamed =
      originals.size() == 1 ? std::string("The row") : std::to_string(originals.size()) + " rows";
  // A row that another row deleted refers to goes with that one.
  const Taking taking = TakenWith(originals);
  std::vector<StoredRow> named;
  std::vector<std::size_t> namedAt;
  std::vector<WriteFailure> failures;
  for (std::size_t index = 0; index < deleting.size(); ++index) {
    if (taking.depths[index] > 0) continue;
    named.push_back(originals[index]);
    namedAt.push_back(deleting[index]);
    failures.emplace_back(rowsNamed + " could not be deleted, because of row " + std::to_string(deleting[index] + 1) +
                          ": ");
  }
  try {
    writer->Write({{}, named, {}}, failures, [this] { ReleaseReadLock(-1); });
  } catch (const WriteError& error) {
    ShowRowNow(namedAt.at(error.failedRow()), error);
    throw;
  }
  const std::size_t count = deleting.size();
  ChangeJournal::Entry entry{count == 1 ? "deleting a row" : "deleting " + std::to_string(count) + " rows", {}};
  for (std::size_t index = 0; index < count; ++index)
    entry.steps.push_back({state.journal.Follow(deleting[index]), {}, HeldRow{originals[index], {}}, std::nullopt,
                           taking.depths[index]});
  entry.steps.insert(entry.steps.end(), taking.steps.begin(), taking.steps.end());
  state.beyond.gone.insert(state.beyond.gone.end(), taking.held.begin(), taking.held.end());
  state.journal.Record(std::move(entry));
  std::vector<std::size_t> meant = deleting;
  meant.insert(meant.end(), taking.held.begin(), taking.held.end());
  LookBeyond(meant, true, false, false);
}

void Recordset::DropRows(std::size_t first, std::size_t count) {
  RequireOpen();
  OpenState& state = *state_;
  state.rows->RemoveRows(first, count);
  ForgetRows(first, count);
  ShiftRows(first + count, -static_cast<std::ptrdiff_t>(count));
}

std::string Recordset::InsertRow(std::size_t at, const CellValues& cells) {
  RequireOpen();
  OpenState& state = *state_;
  TableWriter* writer = Writer();
  if (!writer) throw Error(ReadOnlyRecordsetMessage);
  if (at > state.rows->rowCount()) throw Error("A row cannot be added there.");
  WriteFailure failure("The new row could not be added: ");
  failure.NameMissingReference(MissingReferenceOf(references(), {}, state.visibleColumns(), Changes(cells)));
  const TableWriter::Inserted inserted =
      writer->Write({{}, {}, {Changes(cells)}}, {failure}, [this] { ReleaseReadLock(-1); }).inserted.front();
  PutNewRow(at, inserted.row, inserted.unidentified);
  // A row nothing names for sure cannot be deleted again by undo.
  if (inserted.unidentified.empty())
    state.journal.Record({"adding a row", {{state.journal.FollowNew(at), {}, std::nullopt, HeldRow{inserted.row, {}}}}});
  LookBeyond({at}, false, false, true);
  return inserted.unidentified;
}

void Recordset::PutNewRow(std::size_t at, const StoredRow& row, const std::string& unidentified) {
  OpenState& state = *state_;
  if (state.readPaused && state.read && state.read->rowidAt >= 0) {
    const auto& rowid = row.at(static_cast<std::size_t>(state.read->rowidAt));
    if (rowid) state.insertedRowids.push_back(std::stoll(*rowid));
  }
  ShiftRows(at, 1);
  state.rows->InsertRow(at, row);
  state.marks.added.insert(at);
  if (!unidentified.empty()) state.marks.reasons.emplace(at, unidentified);
}

void Recordset::WriteCells(const std::vector<std::pair<std::size_t, CellValues>>& rows,
                           const std::vector<CellValues>& newRows, std::size_t newAt, const std::string& named) {
  RequireOpen();
  OpenState& state = *state_;
  TableWriter* writer = Writer();
  if (!writer) throw Error(ReadOnlyRecordsetMessage);
  if (newAt > state.rows->rowCount()) throw Error("Rows cannot be added there.");
  TableWriter::RowWrites writes;
  std::vector<std::string> labels;
  for (const auto& [row, cells] : rows) {
    if (!state.rows->held(row)) throw Error("The row to change has not been read.");
    if (const std::string why = RowReadOnlyReason(row); !why.empty())
      throw Error("Row " + std::to_string(row + 1) + " cannot be changed: " + why);
    labels.push_back("row " + std::to_string(row + 1));
    try {
      writes.updates.push_back(
          {WholeRow(row, WriteFailure("The rows could not be saved, because of " + labels.back() + ": ")),
           Changes(cells)});
    } catch (WriteError& error) {
      error.setFailedRow(labels.size() - 1);
      throw;
    }
  }
  for (const CellValues& cells : newRows) {
    writes.inserts.push_back(Changes(cells));
    labels.push_back("new row " + std::to_string(newAt + writes.inserts.size()));
  }
  std::vector<WriteFailure> failures;
  for (std::size_t index = 0; index < labels.size(); ++index) {
    const bool update = index < writes.updates.size();
    failures.emplace_back(labels.size() > 1 ? "The rows could not be saved, because of " + labels[index] + ": "
                          : update          ? std::string("The row could not be saved: ")
                                            : std::string("The new row could not be added: "));
    failures.back().NameMissingReference(MissingReferenceOf(
        references(), update ? writes.updates[index].original : StoredRow{}, state.visibleColumns(),
        update ? writes.updates[index].changes : writes.inserts[index - writes.updates.size()]));
  }
  TableWriter::Written written;
  try {
    written = writer->Write(writes, failures, [this] { ReleaseReadLock(-1); });
  } catch (const WriteError& error) {
    if (error.failedRow() < rows.size()) ShowRowNow(rows[error.failedRow()].first, error);
    throw;
  }
  std::size_t cells = 0;
  ChangeJournal::Entry entry;
  for (std::size_t index = 0; index < rows.size(); ++index) {
    PutStoredRow(rows[index].first, written.updated[index]);
    NoteKeptValues(rows[index].first, writes.updates[index].original, written.updated[index],
                   writes.updates[index].changes);
    std::vector<int> columns;
    for (const auto& [column, value] : rows[index].second) columns.push_back(column);
    cells += columns.size();
    const CellCut& cut = state.rows->cut();
    entry.steps.push_back({state.journal.Follow(rows[index].first), columns,
                           cut.Held(writes.updates[index].original, columns), cut.Held(written.updated[index], columns)});
  }
  bool undoable = true;
  for (std::size_t index = 0; index < written.inserted.size(); ++index) {
    const TableWriter::Inserted& inserted = written.inserted[index];
    PutNewRow(newAt + index, inserted.row, inserted.unidentified);
    cells += newRows[index].size();
    undoable = undoable && inserted.unidentified.empty();
    entry.steps.push_back({state.journal.FollowNew(newAt + index), {}, std::nullopt, HeldRow{inserted.row, {}}});
  }
  const std::string counted = cells == 1 ? "1 cell" : std::to_string(cells) + " cells";
  entry.what = named.empty() ? "paste of " + counted : named + " " + counted;
  if (undoable) state.journal.Record(std::move(entry));
  std::vector<std::size_t> meant;
  for (const auto& [row, cells] : rows) meant.push_back(row);
  for (std::size_t index = 0; index < written.inserted.size(); ++index) meant.push_back(newAt + index);
  LookBeyond(meant, false, !rows.empty(), !newRows.empty());
}

std::vector<CellChange> Recordset::Changes(const CellValues& cells) {
  std::vector<CellChange> changes;
  for (const auto& [column, value] : cells) changes.push_back(CellChange{column, value});
  return changes;
}

std::string Recordset::TableReadOnlyReason() {
  RequireOpen();
  if (std::string moved = state_->file.WhatHappened(); !moved.empty()) return moved;
  TableWriter* writer = Writer();
  if (!writer) return ReadOnlyRecordsetMessage;
  return writer->AddingReadOnlyReason();
}

std::string Recordset::ReadOnlyReason(int column) {
  if (!state_) return ClosedMessage;
  if (column < 0 || column >= fieldCount()) return NoSuchFieldMessage;
  if (std::string moved = state_->file.WhatHappened(); !moved.empty()) return moved;
  TableWriter* writer = nullptr;
  try {
    writer = Writer();
  } catch (const std::exception& failure) {
    // Tried again on the next edit.
    return std::string("The table could not be prepared for editing: ") + failure.what();
  }
  if (!writer) return ReadOnlyRecordsetMessage;
  return writer->ReadOnlyReason(column);
}

std::string Recordset::KnownReadOnlyReason(int column) const {
  if (!state_) return ClosedMessage;
  if (column < 0 || column >= fieldCount()) return NoSuchFieldMessage;
  if (!state_->writable) return ReadOnlyRecordsetMessage;
  return state_->writer ? state_->writer->ReadOnlyReason(column) : std::string();
}

}  // namespace ado

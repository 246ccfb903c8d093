// The read of a table from its start: block by block, paused where a
// write or another read needs the session, and taken up again after the
// last row it handed over.
#include "AdoError.h"
#include "Recordset.h"
#include "RecordsetState.h"
#include "detail/OdbcConnection.h"
#include "detail/OdbcStatement.h"
#include "detail/ResultReader.h"
#include "detail/WaitedRead.h"
#include "detail/WindowQuery.h"
#include "detail/dialect/Dialect.h"

namespace ado {
namespace {


}  // namespace

bool Recordset::FetchUntil(std::size_t row) {
  if (state_->rows->rowCountSet()) {
    if (row < state_->rows->rowCount() && !state_->rows->held(row)) ReadRows(row, ResultReader::MaxRowsPerBlock);
    return state_->rows->held(row);
  }
  while (state_->rows->rowCount() <= row && !allRowsFetched()) ReadNextBlock();
  return row < state_->rows->rowCount();
}

void Recordset::ReadNextBlock() {
  try {
    if (state_->readPaused) ResumeRead();
    ReadStartBlock();
  } catch (const Error& error) {
    if (ReadStopped(error) || !state_->reading->EndedBy(error)) throw;
    ReadOnAfterEnd(error);
  }
}

std::optional<WindowStart> Recordset::StartAfterLastRow() const {
  const OpenState& state = *state_;
  // Only the table's own order tells where a read stopped.
  if (!state.read || !ReadsByKeys(*state.read, state.view)) return std::nullopt;
  WindowStart start;
  if (const std::size_t rows = state.rows->rowCount(); rows > 0) {
    start.afterKeys = OrderKeysOf(rows - 1);
    if (!start.afterKeys) return std::nullopt;
  }
  return start;
}

void Recordset::OpenReadFrom(const WindowStart& start, std::size_t rows) {
  OpenState& state = *state_;
  OdbcConnection& connection = state.reading->Get();
  ViewQuery query = BuildWindowQuery(*state.read, state.view, start, rows);
  auto statement = std::make_unique<OdbcStatement>(connection);
  query.parameters.BindTo(*statement);
  RunWaitedRead(*statement, [&] { statement->ExecDirect(query.sql); }, StoppedMessage);
  state.reader = std::make_unique<ResultReader>(*statement, state.columns, connection.facts().blockGetData);
  state.statement = std::move(statement);
  state.readPaused = false;
}

void Recordset::ReadOnAfterEnd(const Error& cause) {
  OpenState& state = *state_;
  CompleteColumnsBeforeClose();
  state.reader.reset();
  state.statement.reset();
  state.readPaused = false;
  const std::optional<WindowStart> start = StartAfterLastRow();
  if (!start) throw CutShort(cause);
  try {
    OpenReadFrom(*start);
    RunWaitedRead(*state.statement, [&] { state.reader->ReadBlock(state.rows->Head()); }, StoppedMessage);
  } catch (const Error& error) {
    if (ReadStopped(error)) throw;
    state.reading->EndedBy(error);
    state.reader.reset();
    state.statement.reset();
    throw CutShort(error);
  }
}

void Recordset::CloseReadBetweenLooks() {
  OpenState& state = *state_;
  if (!state.cursorHoldsTransaction || state.readPaused || allRowsFetched()) return;
  // Only where the primary key orders the rows: a row's physical place
  // moves with every change of it, ours too, and a read going on after
  // one would show a changed row twice.
  if (state.read->orderColumns.empty() || !StartAfterLastRow()) return;
  CompleteColumnsBeforeClose();
  PauseRead();
}

ReadCutShort Recordset::CutShort(const Error& cause) const {
  const OpenState& state = *state_;
  const std::size_t held = state.rows->heldRows();
  const std::string shown = held == 1 ? "1 row is" : std::to_string(held) + " rows are";
  std::string message = "The database ended the reading of the rows, and reading them again failed: " + shown +
                        " shown, ";
  if (state.rows->rowCountSet())
    message += "of " + std::to_string(state.rows->rowCount()) + "; the others could not be read.";
  else
    message += "the rest of the table could not be read.";
  return ReadCutShort(message + " Press F5 to read the table again.\n" + cause.what(), cause.sqlState());
}

void Recordset::PauseRead() {
  // Only freeing the statement makes every driver give back what it holds
  // for the cursor; the SQLite driver keeps its lock through SQL_CLOSE.
  state_->reader.reset();
  state_->statement.reset();
  state_->readPaused = true;
}

void Recordset::ReadStartBlock() {
  OpenState& state = *state_;
  state.firstReadRows += state.reader->ReadBlock(state.rows->Head());
  if (state.firstReadLimit == 0 || !state.reader->finished()) return;
  // Fewer rows than asked for were all there are.
  if (state.firstReadRows >= state.firstReadLimit) {
    state.readOnPastRowsRead = true;
    PauseRead();
  }
  state.firstReadLimit = 0;
}

void Recordset::ResumeRead() {
  OpenState& state = *state_;
  if (state.readOnPastRowsRead) {
    state.readOnPastRowsRead = false;
    // After the last row's keys where they order the rows, else past as
    // many rows.
    std::optional<WindowStart> after = StartAfterLastRow();
    // A driver that takes in whole results goes on a block at a time,
    // where the keys tell where each block ends; skipping the rows read
    // again for each block would cost ever more.
    const std::size_t block = after ? state.reading->Get().facts().dialect->FirstRows() : 0;
    if (!after) {
      after.emplace();
      after->skip = state.firstReadRows;
    }
    OpenReadFrom(*after, block > 0 ? block : NoRowLimit);
    if (block > 0) state.firstReadLimit = state.firstReadRows + block;
    return;
  }
  // Closed between looks: on after the last row's keys.
  if (state.cursorHoldsTransaction) {
    OpenReadFrom(*StartAfterLastRow());
    return;
  }
  // Going on after the last rowid shows every row once only if no other
  // program wrote meanwhile (a row given a new rowid would come again, or
  // never); otherwise the rows are read anew from the start.
  const bool othersWrote = !state.writer || state.writer->OthersCommitMark() != state.othersMark;
  auto statement = std::make_unique<OdbcStatement>(state.reading->Get());
  if (othersWrote) {
    statement->ExecDirect(state.read->Query());
    state.rows = std::make_unique<RowWindow>(static_cast<int>(state.columns.size()), state.rows->cut());
    state.marks.Clear();
    state.journal.ForgetPlaces();
    state.firstReadRows = 0;
    ++state.generation;
  } else {
    statement->ExecDirect(state.read->QueryAfter(state.resumeAfter, state.insertedRowids));
  }
  state.insertedRowids.clear();
  state.reader = std::make_unique<ResultReader>(*statement, state.columns,
                                                state.reading->Get().facts().blockGetData);
  state.statement = std::move(statement);
  state.readPaused = false;
}

void Recordset::PauseForAnotherRead() {
  OpenState& state = *state_;
  // The SQLite driver steps through one statement of a connection at a
  // time and reads any other whole as it is executed: a sort of a large
  // table would work out every row before showing one. The read being
  // replaced therefore pauses, to go on past the rows it handed over
  // should the new read be refused or stopped.
  if (!state.read || state.readPaused || allRowsFetched() || !state.reading->Get().facts().oneStatementAtATime)
    return;
  CompleteColumnsBeforeClose();
  state.readOnPastRowsRead = true;
  PauseRead();
}

void Recordset::ReleaseReadLock(int editedColumn) {
  OpenState& state = *state_;
  if (allRowsFetched()) return;
  // A read paused for another goes on before anything is written, as
  // where it stopped holds only while nothing changes.
  if (state.readPaused && state.readOnPastRowsRead) ResumeRead();
  // The read goes in rowid order and can go on after the last rowid it
  // gave; but a write to the rowid itself could move a row already read to
  // where the read goes on, so the read is finished first then.
  // Under a find, a filter or a sort the rows come in another order than
  // the rowid's, and the read is finished first instead.
  const bool resumable = state.read && state.read->rowidAt >= 0 && state.view.isDefault() &&
                         state.read->rowidColumn != editedColumn && state.rows->rowCount() > 0;
  if (resumable && state.readPaused) return;
  if (resumable) {
    const CellView rowid =
        state.rows->cell(state.rows->rowCount() - 1, state.read->rowidAt);
    if (!rowid.isNull) {
      state.resumeAfter = std::stoll(std::string(rowid.text));
      PauseRead();
      if (state.writer) state.othersMark = state.writer->OthersCommitMark();
      return;
    }
  }
  FetchMore(static_cast<std::size_t>(-1));
}

}  // namespace ado

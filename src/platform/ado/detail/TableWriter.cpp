#include "TableWriter.h"

#include <algorithm>

#include "platform/ado/ErrorMeaning.h"
#include "ChangeExecutor.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "OdbcTransaction.h"
#include "StatementRows.h"
#include "WriteFailure.h"

namespace ado {
namespace {

std::vector<bool> BinaryColumns(const std::vector<ColumnInfo>& columns, const TableRead& read) {
  std::vector<bool> binary;
  for (const ColumnInfo& column : columns) binary.push_back(column.isBinary());
  binary.resize(columns.size() + static_cast<std::size_t>(read.hiddenCount()), false);
  return binary;
}

// Whether a row read again holds what the cache held of it: the cells held
// whole alike, the cut ones as long and beginning alike; the first
// `columns` cells only.
bool AsHeld(const StoredRow& row, const StoredRow& held, const std::map<int, std::uint64_t>& wholeSizes,
            std::size_t columns) {
  if (row.size() != held.size() || columns > row.size()) return false;
  for (std::size_t index = 0; index < columns; ++index) {
    const auto cut = wholeSizes.find(static_cast<int>(index));
    if (cut == wholeSizes.end()) {
      if (row[index] != held[index]) return false;
    } else if (!row[index] || !held[index] || row[index]->size() != cut->second ||
               !row[index]->starts_with(*held[index])) {
      return false;
    }
  }
  return true;
}

std::string WriterOptions(const OdbcConnection& readConnection, const TableRead& read) {
  const Dialect* dialect = read.dialect ? read.dialect : readConnection.facts().dialect;
  return dialect ? dialect->WriterOptions() : std::string();
}

void SetUpWriter(OdbcConnection& writer) {
  if (writer.facts().transactions) writer.SetAutocommit(false);
  writer.facts().dialect->SetUpWriter(writer);
}

}  // namespace

// One write under way: the rows, what of them is known done, and the
// statements of the next try.
struct TableWriter::Attempt {
  RowWrites writes;
  // Per update: the row as the database holds it, where the write found it
  // holding what it writes already.
  std::vector<std::optional<StoredRow>> held;
  // The deletes go in one statement.
  bool atOnce = false;
  int retriesLeft = 0;
  std::vector<PlannedStatement> planned;
  std::vector<std::optional<PlannedStatement>> readBacks;
  // Per statement: its row's index among the writes (updates, deletes,
  // inserts).
  std::vector<std::size_t> rowOf;
  // Per statement, once stored: the rows it handed back or read back.
  std::vector<std::vector<StoredRow>> rows;
  // The updated rows as stored, where a lost commit was settled.
  std::optional<std::vector<StoredRow>> settled;
};

TableWriter::TableWriter(OdbcConnection& readConnection, TableRead read, std::vector<ColumnInfo> columns)
    : readConnection_(readConnection),
      read_(std::move(read)),
      columns_(std::move(columns)),
      planner_(read_, columns_),
      verifier_(planner_),
      writer_(readConnection, nullptr, SetUpWriter, WriterOptions(readConnection, read_)) {
  if (!read_.dialect) read_.dialect = readConnection.facts().dialect;
  if (!read_.unavailable.empty()) return;
  OdbcConnection& writer = Writer();
  // The questions end their transaction at once: a pooled server session
  // goes back to the pool.
  OdbcTransaction transaction(writer);
  permissions_ = WritePermissions::Ask(writer, read_, columns_);
  read_.effects = RowEffects::Learn(writer, read_);
  transaction.Commit();
}

TableWriter::~TableWriter() = default;

std::string TableWriter::ReadOnlyReason(int column) const {
  if (!permissions_.everything.empty()) return permissions_.everything;
  if (std::string reason = planner_.ReadOnlyReason(column); !reason.empty()) return reason;
  const auto found = permissions_.columns.find(column);
  return found == permissions_.columns.end() ? std::string() : found->second;
}

std::string TableWriter::AddingReadOnlyReason() const {
  if (!read_.unavailable.empty()) return read_.unavailable;
  return permissions_.everything.empty() ? permissions_.adding : permissions_.everything;
}

std::string TableWriter::DeletingReadOnlyReason() const {
  if (!read_.unavailable.empty()) return read_.unavailable;
  return permissions_.everything.empty() ? permissions_.deleting : permissions_.everything;
}

bool TableWriter::Transactional() const {
  return readConnection_.facts().transactions && read_.withoutTransactions.empty();
}

// A connection that was lost (the server ended it) is replaced, so that a
// retry can succeed.
OdbcConnection& TableWriter::Writer() { return writer_.Get(); }

std::unique_ptr<ChangeExecutor> TableWriter::Executor(OdbcConnection& writer, bool keepStatements) const {
  const Dialect& dialect = planner_.dialect();
  return std::make_unique<ChangeExecutor>(
      writer, BinaryColumns(columns_, read_),
      writer.facts().transactions ? dialect.WriteSettings(BusyWaitSeconds) : std::string(), dialect.WarningsQuery(),
      Transactional(), keepStatements);
}

ChangeExecutor& TableWriter::WriteExecutor(OdbcConnection& writer) {
  const bool keep = planner_.dialect().StatementsOutliveWrites();
  if (!writeExecutor_ || writeExecutorOn_ != &writer || !keep) {
    writeExecutor_.reset();
    writeExecutor_ = Executor(writer, keep);
    writeExecutorOn_ = &writer;
  }
  return *writeExecutor_;
}

std::string TableWriter::OthersCommitMark() {
  const std::string query = planner_.dialect().OthersCommitMarkQuery();
  if (query.empty()) return {};
  OdbcConnection& writer = Writer();
  // The read is ended at once: an open transaction would hold a lock.
  OdbcTransaction transaction(writer);
  const auto rows = QueryRows(writer, query);
  transaction.Commit();
  return rows.empty() || rows[0].empty() || !rows[0][0] ? std::string() : *rows[0][0];
}

StoredRow TableWriter::ReadWhole(const StoredRow& held, const std::map<int, std::uint64_t>& wholeSizes,
                                 const WriteFailure& failure) {
  OdbcConnection& writer = Writer();
  const std::unique_ptr<ChangeExecutor> executor = Executor(writer);
  PlannedStatement planned = planner_.ReadRow(held);
  const std::vector<StoredRow> rows = executor->Read(planned);
  if (rows.size() == 1 && AsHeld(rows.front(), held, wholeSizes, held.size())) return rows.front();
  const ChangeVerifier::Found found = FindAgain(writer, *executor, held);
  // Written again with the very values read: a new version.
  if (planner_.dialect().RowsCarryVersions(read_) && found.fate == ChangeVerifier::Fate::Present && found.row &&
      AsHeld(*found.row, held, wholeSizes, columns_.size()))
    return *found.row;
  RaiseNotAsRead(found, failure);
}

TableWriter::Written TableWriter::Write(const RowWrites& given, const std::vector<WriteFailure>& failures,
                                        const std::function<void()>& beforeWriting) {
  if (given.size() == 0) return {};
  if (failures.size() != given.size()) throw Error("Every row written needs the messages about it.");
  const DataSourceFacts& facts = readConnection_.facts();
  const bool deletesOnly = given.deletes.size() == given.size();
  if (given.size() > 1 && !read_.withoutTransactions.empty()) {
    // Written row by row, a refusal half way would leave part of it
    // stored: refused before anything is written.
    throw WriteError(read_.withoutTransactions + ", so several rows cannot be " +
                         (deletesOnly ? "deleted all or none. Nothing was deleted; delete one row at a time."
                                      : "written all or none. Nothing was changed; change one row at a time."),
                     {}, {});
  }
  if (given.size() > 1 && !facts.transactions) {
    if (deletesOnly)
      throw WriteError("The data source works without transactions (NoTXN), so several rows cannot be deleted all or "
                       "none. Nothing was deleted; delete one row at a time.",
                       {}, {});
    throw WriteError("The data source works without transactions (NoTXN), so several rows cannot be written all or "
                     "none. Nothing was changed.",
                     {}, {});
  }
  if (facts.readerBlocksWriters) beforeWriting();
  Attempt attempt;
  attempt.writes = given;
  attempt.held.assign(given.updates.size(), std::nullopt);
  attempt.atOnce = given.size() > 1 && deletesOnly;
  attempt.retriesLeft = static_cast<int>(std::max<std::size_t>(given.size(), 1));
  for (;;) {
    Plan(attempt);
    if (attempt.planned.empty()) break;
    OdbcConnection& writer = Writer();
    ChangeExecutor& executor = WriteExecutor(writer);
    Execution execution =
        executor.Write(attempt.planned, planner_.dialect().StatementWaitSeconds(BusyWaitSeconds), &attempt.readBacks);
    if (execution.stored && execution.warnings.empty()) {
      attempt.rows = std::move(execution.rows);
      break;
    }
    if (!Retry(attempt, writer, executor, execution, failures)) break;
  }
  return Assemble(attempt);
}

void TableWriter::Plan(Attempt& attempt) const {
  attempt.planned.clear();
  attempt.readBacks.clear();
  attempt.rowOf.clear();
  const RowWrites& writes = attempt.writes;
  if (attempt.atOnce) {
    if (std::optional<PlannedStatement> planned = planner_.DeleteAtOnce(writes.deletes)) {
      attempt.planned.push_back(std::move(*planned));
      attempt.readBacks.emplace_back();
      attempt.rowOf.push_back(0);
      return;
    }
    attempt.atOnce = false;
  }
  const std::size_t updates = writes.updates.size(), deletes = writes.deletes.size();
  for (std::size_t index = 0; index < updates; ++index) {
    if (attempt.held[index]) continue;
    const RowWrite& update = writes.updates[index];
    attempt.planned.push_back(planner_.UpdateRow(update.original, update.changes, attempt.planned.empty()));
    // The row as stored, read in the write's own transaction, where the
    // write does not hand it back; by a key it changed, where it did.
    std::optional<CellChange> keyChange;
    for (const CellChange& change : update.changes)
      if (change.column == read_.rowidColumn || std::ranges::find(read_.key, change.column) != read_.key.end())
        keyChange = change;
    attempt.readBacks.push_back(attempt.planned.back().returnsRows
                                    ? std::nullopt
                                    : std::optional(planner_.ReadBack(update.original, keyChange)));
    attempt.rowOf.push_back(index);
  }
  for (std::size_t index = 0; index < deletes; ++index) {
    attempt.planned.push_back(planner_.DeleteRow(writes.deletes[index], attempt.planned.empty()));
    attempt.readBacks.emplace_back();
    attempt.rowOf.push_back(updates + index);
  }
  for (std::size_t index = 0; index < writes.inserts.size(); ++index) {
    attempt.planned.push_back(planner_.InsertRow(writes.inserts[index]));
    attempt.readBacks.push_back(planner_.ReadInserted(writes.inserts[index]));
    attempt.rowOf.push_back(updates + deletes + index);
  }
}

bool TableWriter::Retry(Attempt& attempt, OdbcConnection& writer, ChangeExecutor& executor,
                        const Execution& execution, const std::vector<WriteFailure>& failures) {
  RowWrites& writes = attempt.writes;
  const std::size_t updates = writes.updates.size(), deletes = writes.deletes.size();
  const std::size_t at = attempt.rowOf.at(execution.failedAt.value_or(0));
  const WriteFailure& failure = failures.at(at);
  if (execution.failure && IsConnectionLost(*execution.failure)) {
    writer_.MarkEnded();
    // Its statements went with it.
    writeExecutor_.reset();
    if (execution.failedWhileCommitting) return !SettledStored(attempt, *execution.failure, execution.session, failure);
    // The session was found ended by the question that opens the write's
    // transaction: nothing of the write reached the server, and it goes
    // once more on a fresh session. (A write sent may still wait on the
    // old one.)
    const bool asksSession =
        readConnection_.facts().transactions && !planner_.dialect().WriteSettings(BusyWaitSeconds).empty();
    const bool nothingSent = asksSession && execution.session.empty();
    if (nothingSent && attempt.retriesLeft-- > 0) return true;
    // Sent but not committed: the old session, which the server may not
    // know to be lost yet, is ended before the user is told, so that it
    // holds no lock of the row meanwhile and never commits.
    if (!execution.session.empty()) EndLostSession(execution.session);
  }
  // Rows deleted at once that were not all reached, or refused: the rows
  // one by one say which and why.
  if (attempt.atOnce && (!execution.failure || !IsConnectionLost(*execution.failure))) {
    attempt.atOnce = false;
    return true;
  }
  try {
    // Refused, cancelled, busy, or the connection lost before anything was
    // committed: nothing was stored.
    if (execution.failure) failure.Raise(*execution.failure);
    // Stored where nothing can be undone (no transactions), with warnings.
    if (execution.stored) {
      std::optional<StoredRow> now;
      if (execution.rows.size() == 1 && execution.rows.front().size() == 1) now = execution.rows.front().front();
      failure.RaiseStoredAltered(execution.warnings, RowNow{now, false});
    }
    StoredRow* original = at < updates             ? &writes.updates[at].original
                          : at < updates + deletes ? &writes.deletes[at - updates]
                                                   : nullptr;
    if (execution.rowsChanged > 1 || !original) {
      if (!Transactional() && execution.rowsChanged > 1)
        failure.RaiseSeveralStored(execution.rowsChanged);
      failure.RaiseSeveral(execution.rowsChanged);
    }
    // No row was reached: the table's columns changed, the row is not as
    // it was read, a policy of the table hides it from the write, or a
    // trigger skipped it.
    if (ColumnsChanged(executor)) failure.RaiseColumnsChanged();
    if (StillTheVersionRead(executor, *original)) {
      if (read_.rowSecurity) failure.RaiseRowSecurity();
      failure.RaiseSkippedByTrigger();
    }
    const ChangeVerifier::Found found = FindAgain(writer, executor, *original);
    // Without versions: a row found holding every value read, in every
    // storage class, was reached, and left as it was.
    const bool holdsAllRead = found.fate == ChangeVerifier::Fate::Present && found.row && *found.row == *original;
    if (holdsAllRead && !planner_.dialect().RowsCarryVersions(read_) && !planner_.dialect().CountsChangedRows(read_))
      failure.RaiseSkippedByTrigger();
    if (RewrittenAlike(*original, found) && attempt.retriesLeft-- > 0) {
      *original = *found.row;
      return true;
    }
    // A driver that counts changed rather than matched rows says 0 for a
    // value written over with what the row held: a row still as read was
    // reached, and holds what was written.
    if (at < updates && planner_.dialect().CountsChangedRows(read_) && found.fate == ChangeVerifier::Fate::Present &&
        found.row && SameVisibleCells(*original, *found.row)) {
      attempt.held[at] = *found.row;
      return true;
    }
    RaiseNotAsRead(found, failure);
  } catch (WriteError& error) {
    error.setFailedRow(at);
    throw;
  }
}

bool TableWriter::SettledStored(Attempt& attempt, const Error& error, const std::string& session,
                                const WriteFailure& failure) {
  const RowWrites& writes = attempt.writes;
  ChangeVerifier::LostWrite lost;
  std::vector<std::size_t> rowOf;  // per original: its index among the writes
  for (std::size_t index = 0; index < writes.updates.size(); ++index) {
    if (attempt.held[index]) continue;
    lost.originals.push_back(writes.updates[index].original);
    lost.changes.push_back(writes.updates[index].changes);
    rowOf.push_back(index);
  }
  for (std::size_t index = 0; index < writes.deletes.size(); ++index) {
    lost.originals.push_back(writes.deletes[index]);
    rowOf.push_back(writes.updates.size() + index);
  }
  lost.adds = !writes.inserts.empty();
  ChangeVerifier::Settlement settlement;
  if (!session.empty()) {
    try {
      OdbcConnection& again = Writer();
      const std::unique_ptr<ChangeExecutor> checker = Executor(again);
      settlement = verifier_.SettleLostWrite(again, *checker, session, lost);
    } catch (const Error&) {
      settlement = {};
    }
  }
  if (settlement.settled == ChangeVerifier::Settled::Stored) {
    attempt.settled = std::move(settlement.rows);
    return true;
  }
  const bool aboutRow = !settlement.rows.empty() && settlement.at < rowOf.size();
  RowNow now{aboutRow ? std::optional(settlement.rows.front()) : std::nullopt, false};
  try {
    if (settlement.settled == ChangeVerifier::Settled::NotStored) failure.Raise(error, now);
    failure.RaiseOutcomeUnknown(error, now);
  } catch (WriteError& raised) {
    raised.setFailedRow(aboutRow ? rowOf[settlement.at] : attempt.rowOf.front());
    throw;
  }
}

void TableWriter::EndLostSession(const std::string& session) {
  try {
    planner_.dialect().EndSession(Writer(), session);
  } catch (const Error&) {
    // The server cannot be reached either: it ends the session itself
    // once its keepalive probes go unanswered.
  }
}

bool TableWriter::ColumnsChanged(ChangeExecutor& executor) {
  std::optional<PlannedStatement> asRead = planner_.ColumnsAsRead();
  if (!asRead) return false;
  try {
    const std::vector<StoredRow> rows = executor.Read(*asRead);
    return rows.size() == 1 && !rows.front().empty() && rows.front().front() == std::optional<std::string>("0");
  } catch (const Error&) {
    return false;  // not known: what the row holds now tells more
  }
}

bool TableWriter::StillTheVersionRead(ChangeExecutor& executor, const StoredRow& original) {
  try {
    return verifier_.StillAsRead(executor, original);
  } catch (const Error&) {
    return false;  // not known: what the row holds now tells more
  }
}

bool TableWriter::SameVisibleCells(const StoredRow& a, const StoredRow& b) const {
  const auto visible = static_cast<std::ptrdiff_t>(columns_.size());
  return a.size() >= columns_.size() && b.size() >= columns_.size() &&
         std::equal(a.begin(), a.begin() + visible, b.begin());
}

bool TableWriter::RewrittenAlike(const StoredRow& original, const ChangeVerifier::Found& found) const {
  // Written again by someone else with the very values read (a new
  // version, nothing to see), found by its key: a write goes on from that
  // version. (A row without versions found with the values read is another
  // row: this one would have matched.)
  return planner_.dialect().RowsCarryVersions(read_) && found.fate == ChangeVerifier::Fate::Present && found.row &&
         SameVisibleCells(original, *found.row);
}

ChangeVerifier::Found TableWriter::FindAgain(OdbcConnection& writer, ChangeExecutor& executor,
                                             const StoredRow& original) {
  try {
    return verifier_.FindAgain(writer, executor, original);
  } catch (const Error&) {
    return {};  // what became of the row is not known
  }
}

void TableWriter::RaiseNotAsRead(const ChangeVerifier::Found& found, const WriteFailure& failure) {
  if (found.fate == ChangeVerifier::Fate::Present && found.row) failure.RaiseChanged(RowNow{found.row, false});
  if (found.fate == ChangeVerifier::Fate::Deleted) failure.RaiseDeleted();
  failure.RaiseChangedOrDeleted();
}

TableWriter::Inserted TableWriter::Unidentified(const std::vector<CellChange>& cells) const {
  // Stored, but nothing names it for sure: shown as typed.
  Inserted inserted;
  inserted.row.assign(columns_.size() + static_cast<std::size_t>(read_.hiddenCount()), std::nullopt);
  for (const CellChange& cell : cells) inserted.row[static_cast<std::size_t>(cell.column)] = cell.value;
  inserted.unidentified =
      "The new row was added, but nothing names it for sure (no key was given), so it is shown as typed and cannot be "
      "changed until the table is opened again.";
  return inserted;
}

TableWriter::Written TableWriter::Assemble(const Attempt& attempt) const {
  const RowWrites& writes = attempt.writes;
  const std::size_t updates = writes.updates.size(), deletes = writes.deletes.size();
  std::vector<const std::vector<StoredRow>*> rowsOf(writes.size(), nullptr);
  if (!attempt.atOnce && !attempt.settled)
    for (std::size_t statement = 0; statement < attempt.rowOf.size() && statement < attempt.rows.size(); ++statement)
      rowsOf[attempt.rowOf[statement]] = &attempt.rows[statement];
  Written written;
  std::size_t settledAt = 0;
  for (std::size_t index = 0; index < updates; ++index) {
    const RowWrite& update = writes.updates[index];
    if (attempt.held[index]) {
      written.updated.push_back(*attempt.held[index]);
    } else if (attempt.settled) {
      written.updated.push_back(attempt.settled->at(settledAt++));
    } else if (rowsOf[index] && rowsOf[index]->size() == 1) {
      written.updated.push_back(rowsOf[index]->front());
    } else {
      // Stored, but not shown back: as written.
      StoredRow row = update.original;
      for (const CellChange& change : update.changes) row[static_cast<std::size_t>(change.column)] = change.value;
      written.updated.push_back(std::move(row));
    }
  }
  for (std::size_t index = 0; index < writes.inserts.size(); ++index) {
    const std::vector<StoredRow>* rows = rowsOf[updates + deletes + index];
    written.inserted.push_back(rows && rows->size() == 1 ? Inserted{rows->front(), {}}
                                                         : Unidentified(writes.inserts[index]));
  }
  return written;
}

}  // namespace ado

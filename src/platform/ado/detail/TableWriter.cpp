#include "TableWriter.h"

#include <algorithm>

#include "ChangeExecutor.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "OdbcTransaction.h"
#include "StatementRows.h"
#include "WriteFailure.h"

namespace ado {
namespace {

std::string Scalar(OdbcConnection& connection, const std::string& sql) {
  const auto rows = QueryRows(connection, sql);
  return rows.empty() || rows[0].empty() || !rows[0][0] ? std::string() : *rows[0][0];
}

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

}  // namespace

TableWriter::TableWriter(OdbcConnection& readConnection, TableRead read, std::vector<ColumnInfo> columns)
    : readConnection_(readConnection),
      read_(std::move(read)),
      columns_(std::move(columns)),
      planner_(read_, columns_),
      verifier_(read_, planner_),
      writer_(readConnection, nullptr, SetUpWriter) {
  if (!read_.unavailable.empty()) return;
  OdbcConnection& writer = Writer();
  // The questions end their transaction at once: a pooled server session
  // goes back to the pool.
  OdbcTransaction transaction(writer);
  permissions_ = WritePermissions::Ask(writer, read_, columns_);
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

void TableWriter::SetUpWriter(OdbcConnection& writer) {
  if (writer.facts().transactions) writer.SetAutocommit(false);
  // MariaDB waits 50 seconds for another session's row lock by default.
  if (writer.facts().isMariaDb())
    OdbcStatement(writer).ExecDirect("SET SESSION innodb_lock_wait_timeout = " + std::to_string(BusyWaitSeconds));
}

// A connection that was lost (the server ended it) is replaced, so that a
// retry can succeed.
OdbcConnection& TableWriter::Writer() { return writer_.Get(); }

ChangeExecutor TableWriter::Executor(OdbcConnection& writer) const {
  std::string settings;
  if (writer.facts().isPostgreSql() && writer.facts().transactions) {
    // Behind a connection pooler in transaction pooling, only a transaction
    // keeps one server session: the wait for another session's lock is
    // limited for each write's transaction alone, and leaves nothing behind
    // for the pool's next client. The transaction is named by its server
    // process and its start, for a write whose connection is lost.
    settings = "SELECT pg_backend_pid()::text || ' ' || extract(epoch FROM now())::text, "
               "set_config('lock_timeout', '" + std::to_string(BusyWaitSeconds) + "s', true)";
  }
  return ChangeExecutor(writer, BinaryColumns(columns_, read_), std::move(settings));
}

int TableWriter::WaitSeconds() const { return readConnection_.facts().isPostgreSql() ? 0 : BusyWaitSeconds; }

std::string TableWriter::OthersCommitMark() {
  if (!readConnection_.facts().isSqlite()) return {};
  OdbcConnection& writer = Writer();
  // The read is ended at once: an open transaction would hold a lock.
  OdbcTransaction transaction(writer);
  const std::string mark = Scalar(writer, "PRAGMA data_version");
  transaction.Commit();
  return mark;
}

StoredRow TableWriter::ReadWhole(const StoredRow& held, const std::map<int, std::uint64_t>& wholeSizes,
                                 const WriteFailure& failure) {
  OdbcConnection& writer = Writer();
  ChangeExecutor executor = Executor(writer);
  PlannedStatement planned = planner_.ReadRow(held);
  const std::vector<StoredRow> rows = executor.Read(planned);
  if (rows.size() == 1 && AsHeld(rows.front(), held, wholeSizes, held.size())) return rows.front();
  const ChangeVerifier::Found found = FindAgain(writer, executor, held);
  // PostgreSQL: written again with the very values read, a new version.
  if (read_.identity == TableRead::Identity::PostgresTuple && found.fate == ChangeVerifier::Fate::Present &&
      found.row && AsHeld(*found.row, held, wholeSizes, columns_.size()))
    return *found.row;
  RaiseNotAsRead(found, failure);
}

StoredRow TableWriter::UpdateCell(const StoredRow& original, const CellChange& change,
                                  const std::function<void()>& beforeWriting) {
  return Write(original, change, beforeWriting, 1);
}

StoredRow TableWriter::Write(const StoredRow& original, const CellChange& change,
                             const std::function<void()>& beforeWriting, int retriesLeft) {
  const auto column = static_cast<std::size_t>(change.column);
  const WriteFailure failure(columns_.at(column).name, change.value);
  PlannedStatement planned = planner_.UpdateCell(original, change);
  if (readConnection_.facts().readerBlocksWriters) beforeWriting();

  OdbcConnection& writer = Writer();
  ChangeExecutor executor = Executor(writer);
  Execution execution = executor.Write(planned, WaitSeconds());

  if (execution.failure) {
    const Error& error = *execution.failure;
    const bool lost = RenewableSession::ConnectionLost(error);
    if (lost) writer_.MarkEnded();
    if (!lost) failure.Raise(error);
    // The session was found ended by the question that opens the write's
    // transaction: nothing of the write reached the server, and it goes
    // once more on a fresh session. (A write sent may still wait on the old
    // one.)
    if (!execution.failedWhileCommitting && executor.session().empty() && writer.facts().isPostgreSql() &&
        retriesLeft > 0)
      return Write(original, change, beforeWriting, retriesLeft - 1);
    if (!execution.failedWhileCommitting) failure.Raise(error);
    const std::string oldSession = executor.session();
    if (oldSession.empty()) failure.RaiseOutcomeUnknown(error);
    std::pair<ChangeVerifier::Settled, std::optional<StoredRow>> settled{ChangeVerifier::Settled::Unknown, {}};
    try {
      OdbcConnection& again = Writer();
      ChangeExecutor checker = Executor(again);
      settled = verifier_.SettleLostWrite(again, checker, oldSession, original, change);
    } catch (const Error&) {
      failure.RaiseOutcomeUnknown(error);
    }
    RowNow now{settled.second, false};
    if (settled.first == ChangeVerifier::Settled::Stored && settled.second) return *settled.second;
    if (settled.first == ChangeVerifier::Settled::NotStored) failure.Raise(error, now);
    failure.RaiseOutcomeUnknown(error, now);
  }

  if (execution.rowsChanged > 1) {
    if (execution.stored) failure.RaiseSeveralStored(execution.rowsChanged);
    failure.RaiseSeveral(execution.rowsChanged);
  }

  if (execution.stored) {
    std::optional<StoredRow> stored;
    if (execution.returned.size() == 1) stored = execution.returned.front();
    try {
      // Just written: the rowid still names it, whatever VACUUM may do later.
      PlannedStatement readBack = planner_.ReadRow(original, change, true);
      std::vector<StoredRow> rows = stored ? std::vector<StoredRow>{} : executor.Read(readBack);
      if (rows.size() == 1) stored = rows.front();
    } catch (const Error&) {
      // The change is stored; only showing it back failed.
    }
    if (!execution.warnings.empty()) failure.RaiseStoredAltered(execution.warnings, RowNow{stored, false});
    if (stored) return *stored;
    StoredRow patched = original;
    patched[column] = change.value;
    return patched;
  }

  // Nothing changed: the row is not as it was read, or a policy hides it
  // from the write.
  if (RefusedByRowSecurity(executor, original)) failure.RaiseRowSecurity();
  const ChangeVerifier::Found found = FindAgain(writer, executor, original);
  if (RewrittenAlike(original, found) && retriesLeft > 0) return Write(*found.row, change, beforeWriting, retriesLeft - 1);
  // A driver that counts changed rather than matched rows (MariaDB told
  // otherwise) says 0 for a value written over with what the row held: a
  // row still as read was reached, and holds what was written.
  const bool asRead = read_.identity == TableRead::Identity::PrimaryKey && found.fate == ChangeVerifier::Fate::Present &&
                      found.row &&
                      std::equal(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(columns_.size()),
                                 found.row->begin());
  if (asRead) return *found.row;
  RaiseNotAsRead(found, failure);
}

bool TableWriter::RefusedByRowSecurity(ChangeExecutor& executor, const StoredRow& original) {
  if (!read_.rowSecurity) return false;
  try {
    return verifier_.StillAsRead(executor, original);
  } catch (const Error&) {
    return false;  // not known: what the row holds now tells more
  }
}

bool TableWriter::RewrittenAlike(const StoredRow& original, const ChangeVerifier::Found& found) const {
  // PostgreSQL: written again by someone else with the very values read (a
  // new version, nothing to see), found by its key: a write goes on from
  // that version. (An SQLite row found with the values read is another
  // row: this one would have matched.)
  return read_.identity == TableRead::Identity::PostgresTuple && found.fate == ChangeVerifier::Fate::Present &&
         found.row &&
         std::equal(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(columns_.size()),
                    found.row->begin());
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

void TableWriter::RaiseBatchFailure(const ChangeExecutor::Batch& batch, const WriteFailure& failure,
                                    OdbcConnection& writer, ChangeExecutor& executor, const StoredRow* original) {
  if (batch.execution.failure) {
    const Error& error = *batch.execution.failure;
    if (RenewableSession::ConnectionLost(error)) {
      writer_.MarkEnded();
      if (batch.execution.failedWhileCommitting) failure.RaiseOutcomeUnknown(error);
    }
    failure.Raise(error);
  }
  if (batch.execution.rowsChanged > 1 || !original) failure.RaiseSeveral(batch.execution.rowsChanged);
  // No row was reached: the row is not as it was read.
  RaiseNotAsRead(FindAgain(writer, executor, *original), failure);
}

void TableWriter::DeleteRows(const std::vector<StoredRow>& originals, const std::vector<std::string>& labels,
                             const std::function<void()>& beforeWriting) {
  if (originals.size() > 1 && !readConnection_.facts().transactions)
    throw WriteError("The data source works without transactions (NoTXN), so several rows cannot be deleted all or "
                     "none. Nothing was deleted; delete one row at a time.",
                     {}, {});
  const std::string count = originals.size() == 1 ? std::string("The row") : std::to_string(originals.size()) + " rows";
  WriteRows({{}, originals, {}}, labels, beforeWriting, count + " could not be deleted, because of ");
}

TableWriter::Inserted TableWriter::InsertRow(const std::vector<CellChange>& cells,
                                             const std::function<void()>& beforeWriting) {
  const std::vector<Inserted> inserted = WriteRows({{}, {}, {cells}}, {"the new row"}, beforeWriting).inserted;
  return inserted.front();
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

bool TableWriter::DeletedAtOnce(const std::vector<StoredRow>& originals, const std::vector<std::string>& labels,
                                const std::string& failing) {
  std::optional<PlannedStatement> planned = planner_.DeleteTuples(originals);
  if (!planned) return false;
  OdbcConnection& writer = Writer();
  ChangeExecutor executor = Executor(writer);
  std::vector<PlannedStatement> statements{std::move(*planned)};
  const ChangeExecutor::Batch batch = executor.WriteAll(statements, WaitSeconds());
  if (batch.execution.stored) return true;
  // Not all of them, or refused: the rows one by one say which and why,
  // unless the connection was lost while it may have been committed.
  if (batch.execution.failure && RenewableSession::ConnectionLost(*batch.execution.failure)) {
    writer_.MarkEnded();
    if (batch.execution.failedWhileCommitting)
      WriteFailure((failing.empty() ? std::string("The rows could not be saved, because of ") : failing) +
                   labels.front() + ": ")
          .RaiseOutcomeUnknown(*batch.execution.failure);
  }
  return false;
}

TableWriter::Written TableWriter::WriteRows(const RowWrites& given, const std::vector<std::string>& labels,
                                           const std::function<void()>& beforeWriting, const std::string& failing) {
  if (given.size() == 0) return {};
  if (given.size() > 1 && !readConnection_.facts().transactions)
    throw WriteError("The data source works without transactions (NoTXN), so several rows cannot be written all or "
                     "none. Nothing was changed.",
                     {}, {});
  if (readConnection_.facts().readerBlocksWriters) beforeWriting();
  if (given.size() > 1 && given.size() == given.deletes.size() && DeletedAtOnce(given.deletes, labels, failing))
    return {};
  RowWrites writes = given;
  const std::size_t updates = writes.updates.size(), deletes = writes.deletes.size();
  ChangeExecutor::Batch batch;
  for (std::size_t retriesLeft = writes.size();; --retriesLeft) {
    std::vector<PlannedStatement> planned;
    std::vector<std::optional<PlannedStatement>> readBacks;
    for (const RowWrite& update : writes.updates) {
      planned.push_back(planner_.UpdateRow(update.original, update.changes));
      // SQLite: the row as stored, read in the write's own transaction.
      std::optional<CellChange> keyChange;
      for (const CellChange& change : update.changes)
        if (change.column == read_.rowidColumn || std::ranges::find(read_.key, change.column) != read_.key.end())
          keyChange = change;
      readBacks.push_back(planned.back().returnsRows ? std::nullopt
                                                     : std::optional(planner_.ReadRow(update.original, keyChange, true)));
    }
    for (const StoredRow& original : writes.deletes) {
      planned.push_back(planner_.DeleteRow(original));
      readBacks.emplace_back();
    }
    for (const std::vector<CellChange>& cells : writes.inserts) {
      planned.push_back(planner_.InsertRow(cells));
      readBacks.push_back(planner_.ReadInserted(cells));
    }
    OdbcConnection& writer = Writer();
    ChangeExecutor executor = Executor(writer);
    batch = executor.WriteAll(planned, WaitSeconds(), &readBacks);
    if (batch.execution.stored) break;

    const std::size_t at = batch.failedAt.value_or(0);
    StoredRow* original = at < updates             ? &writes.updates[at].original
                          : at < updates + deletes ? &writes.deletes[at - updates]
                                                   : nullptr;
    std::string what = failing.empty() ? "The rows could not be saved, because of " : failing;
    what += labels.at(at) + ": ";
    if (failing.empty() && planned.size() == 1)
      what = original ? "The row could not be saved: " : "The new row could not be added: ";
    const WriteFailure failure(what);
    try {
      const bool reachedNone = original && !batch.execution.failure && batch.execution.rowsChanged == 0;
      if (!reachedNone) RaiseBatchFailure(batch, failure, writer, executor, original);
      if (RefusedByRowSecurity(executor, *original)) failure.RaiseRowSecurity();
      // The row is not as it was read.
      const ChangeVerifier::Found found = FindAgain(writer, executor, *original);
      if (RewrittenAlike(*original, found) && retriesLeft > 0) {
        *original = *found.row;
        continue;
      }
      RaiseNotAsRead(found, failure);
    } catch (WriteError& error) {
      error.setFailedRow(at);
      throw;
    }
  }
  Written written;
  for (std::size_t index = 0; index < updates; ++index) {
    const std::vector<StoredRow>& rows = batch.rows.at(index);
    StoredRow row = writes.updates[index].original;
    if (rows.size() == 1) {
      row = rows.front();
    } else {
      for (const CellChange& change : writes.updates[index].changes)
        row[static_cast<std::size_t>(change.column)] = change.value;
    }
    written.updated.push_back(std::move(row));
  }
  for (std::size_t index = 0; index < writes.inserts.size(); ++index) {
    const std::vector<StoredRow>& rows = batch.rows.at(updates + deletes + index);
    written.inserted.push_back(rows.size() == 1 ? Inserted{rows.front(), {}} : Unidentified(writes.inserts[index]));
  }
  return written;
}

}  // namespace ado

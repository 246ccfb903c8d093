#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChangeExecutor.h"
#include "ChangePlanner.h"
#include "ChangeVerifier.h"
#include "DeleteCascade.h"
#include "RenewableSession.h"
#include "StoredRow.h"
#include "TableRead.h"
#include "WriteFailure.h"
#include "WritePermissions.h"

namespace ado {

class OdbcConnection;

// Writes the user's changes of a table's rows through one door: a cell
// edit, a paste, a delete, an added row, an undo and a redo are all rows
// changed, deleted and added as one write. It plans the write, runs it on a
// connection of its own (so that a commit never closes the cursor the rows
// are read through), and tells what became of it, the same way whatever
// the change: exactly the rows meant changed, or nothing; the message says
// which, and what the database holds now.
class TableWriter {
 public:
  // Opens the writer's own connection and asks it what the user may not
  // write (the read's connection may have been lost meanwhile).
  TableWriter(OdbcConnection& readConnection, TableRead read, std::vector<ColumnInfo> columns);
  ~TableWriter();
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  const TableRead& read() const { return read_; }
  // Empty when cells of the column can be changed, otherwise why not.
  std::string ReadOnlyReason(int column) const;
  // Empty when rows can be added (deleted), otherwise why not.
  std::string AddingReadOnlyReason() const;
  // Whether a row added (or put back) gives the column a value (see
  // ChangePlanner::Insertable).
  bool Insertable(int column, bool numbered) const { return planner_.Insertable(column, numbered); }
  std::string DeletingReadOnlyReason() const;

  struct RowWrite {
    StoredRow original;
    std::vector<CellChange> changes;
  };
  // Rows changed, rows deleted (each exactly as read) and rows added with
  // the given cells and the database's defaults for the rest.
  struct RowWrites {
    std::vector<RowWrite> updates;
    std::vector<StoredRow> deletes;
    std::vector<std::vector<CellChange>> inserts;
    std::size_t size() const { return updates.size() + deletes.size() + inserts.size(); }
  };
  struct Inserted {
    StoredRow row;
    std::string unidentified;  // why the row cannot be found again, if so
  };
  // The rows as stored, in the order given.
  struct Written {
    std::vector<StoredRow> updated;
    std::vector<Inserted> inserted;
  };
  // Writes them as one: all or none. `failures` has one entry per row, in
  // the order updates, deletes, inserts: the messages about it. Raises
  // WriteError about the row that stopped it (failedRow(): that index),
  // carrying what the database holds for it now, where known.
  // `beforeWriting` runs first: on data sources where an unfinished read
  // blocks writers it must give that lock back.
  Written Write(const RowWrites& given, const std::vector<WriteFailure>& failures,
                const std::function<void()>& beforeWriting);

  // The row as the database holds it, whole, for a row the cache holds
  // with cut cells (`wholeSizes`, by column: their whole sizes; `held`
  // their beginnings). Found by its identity; it must still hold what was
  // read, as far as the cache tells: otherwise raises WriteError from
  // `failure` (changed, with the row now, or gone).
  StoredRow ReadWhole(const StoredRow& held, const std::map<int, std::uint64_t>& wholeSizes,
                      const WriteFailure& failure);

  // A mark that changes whenever a connection other than the writer
  // commits, where the database keeps one (our own writes leave it);
  // empty elsewhere.
  std::string OthersCommitMark();

  // What a write does beyond the rows it names (see RowEffects), each a
  // read of its own (TableWriterBeyond.cpp). The rows given and every row
  // deleting them takes with it, each after the rows it refers to; empty
  // where nothing cascades.
  std::vector<DeleteCascade::Taken> DeletedWith(const std::vector<StoredRow>& rows);
  // A row as the database holds it now: found by its key, else as read.
  ChangeVerifier::Found FindNow(const StoredRow& held);

  // How long a write waits for locks held by others.
  static constexpr int BusyWaitSeconds = 5;

 private:
  struct Attempt;

  OdbcConnection& Writer();
  // A write can be undone before it is committed: the data source and the
  // table keep transactions.
  bool Transactional() const;
  std::unique_ptr<ChangeExecutor> Executor(OdbcConnection& writer, bool keepStatements = false) const;
  // The executor of the writes on `writer`: kept from one write to the
  // next where the statements it prepared outlive a write.
  ChangeExecutor& WriteExecutor(OdbcConnection& writer);
  // Plans the write of the rows not yet known to be done.
  void Plan(Attempt& attempt) const;
  // What the failed attempt comes to: raises the message, or returns true
  // where it goes once more (changed as the retry needs).
  bool Retry(Attempt& attempt, OdbcConnection& writer, ChangeExecutor& executor, const Execution& execution,
             const std::vector<WriteFailure>& failures);
  // The connection was lost while the write may have been committed:
  // true where it certainly was (the rows as stored set), else raises.
  bool SettledStored(Attempt& attempt, const Error& error, const std::string& session, const WriteFailure& failure);
  // Ends a session lost with a write under way, where the server can be
  // reached.
  void EndLostSession(const std::string& session);
  // The table's columns are no longer those read.
  bool ColumnsChanged(ChangeExecutor& executor);
  // A write reached no row, yet the row is still the very version read
  // (where rows carry versions): the table's row security keeps the row
  // from the write, or a trigger skipped it.
  bool StillTheVersionRead(ChangeExecutor& executor, const StoredRow& original);
  // What became of a row a write did not reach (not known, when finding
  // it fails).
  ChangeVerifier::Found FindAgain(OdbcConnection& writer, ChangeExecutor& executor, const StoredRow& original);
  // The row was written again by someone else with the very values read.
  bool RewrittenAlike(const StoredRow& original, const ChangeVerifier::Found& found) const;
  bool SameVisibleCells(const StoredRow& a, const StoredRow& b) const;
  Inserted Unidentified(const std::vector<CellChange>& cells) const;
  Written Assemble(const Attempt& attempt) const;
  [[noreturn]] static void RaiseNotAsRead(const ChangeVerifier::Found& found, const WriteFailure& failure);

  OdbcConnection& readConnection_;
  TableRead read_;
  std::vector<ColumnInfo> columns_;
  ChangePlanner planner_;
  ChangeVerifier verifier_;
  RenewableSession writer_;
  WritePermissions permissions_;
  std::unique_ptr<ChangeExecutor> writeExecutor_;
  OdbcConnection* writeExecutorOn_ = nullptr;
};

}  // namespace ado

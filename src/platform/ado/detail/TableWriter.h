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
#include "RenewableSession.h"
#include "WritePermissions.h"
#include "StoredRow.h"
#include "TableRead.h"
#include "WriteFailure.h"

namespace ado {

class OdbcConnection;

// Writes the user's changes of a table's rows: plans each change, runs it
// on a connection of its own (so that a commit never closes the cursor the
// rows are read through), and verifies what became of the row. Exactly the
// row meant changes, or nothing; the message says which, and what the
// database holds now.
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
  std::string DeletingReadOnlyReason() const;

  // Stores one cell of a read row. Returns the row as stored, or raises
  // WriteError (carrying what the database holds now, where known).
  // `beforeWriting` runs first: on data sources where an unfinished read
  // blocks writers it must give that lock back.
  StoredRow UpdateCell(const StoredRow& original, const CellChange& change,
                       const std::function<void()>& beforeWriting);

  // Deletes the rows exactly as they were read, all or none. `labels` name
  // each row in messages ("row 12"). Raises WriteError about the first row
  // that stopped it (failedRow(), an index into `originals`).
  void DeleteRows(const std::vector<StoredRow>& originals, const std::vector<std::string>& labels,
                  const std::function<void()>& beforeWriting);

  // Adds a row with the given cells and the database's defaults for the
  // rest, and reads it back as stored. Raises WriteError when it is
  // refused; nothing is added then.
  struct Inserted {
    StoredRow row;
    std::string unidentified;  // why the row cannot be found again, if so
  };
  Inserted InsertRow(const std::vector<CellChange>& cells, const std::function<void()>& beforeWriting);

  // Changes of several read rows, rows deleted and new rows, written as
  // one: all or none. Returns the rows as stored, in the order given.
  // Raises WriteError about the write that stopped it (failedRow(): an index
  // counting the updates, then the deletes, then the inserts); `labels`
  // name them the same way. `failing` begins the message of a failure
  // ("Nothing was undone, because of "), which then names the row.
  struct RowWrite {
    StoredRow original;
    std::vector<CellChange> changes;
  };
  struct RowWrites {
    std::vector<RowWrite> updates;
    std::vector<StoredRow> deletes;
    std::vector<std::vector<CellChange>> inserts;
    std::size_t size() const { return updates.size() + deletes.size() + inserts.size(); }
  };
  struct Written {
    std::vector<StoredRow> updated;
    std::vector<Inserted> inserted;
  };
  Written WriteRows(const RowWrites& given, const std::vector<std::string>& labels,
                    const std::function<void()>& beforeWriting, const std::string& failing = {});

  // The row as the database holds it, whole, for a row the cache holds
  // with cut cells (`wholeSizes`, by column: their whole sizes; `held`
  // their beginnings). Found by its identity; it must still hold what was
  // read, as far as the cache tells: otherwise raises WriteError from
  // `failure` (changed, with the row now, or gone).
  StoredRow ReadWhole(const StoredRow& held, const std::map<int, std::uint64_t>& wholeSizes,
                      const WriteFailure& failure);

  // SQLite: a mark that changes whenever a connection other than the
  // writer commits (PRAGMA data_version as the writer sees it); our own
  // writes leave it. Empty elsewhere.
  std::string OthersCommitMark();

  // How long a write waits for locks held by others.
  static constexpr int BusyWaitSeconds = 5;

 private:
  OdbcConnection& Writer();
  static void SetUpWriter(OdbcConnection& writer);
  ChangeExecutor Executor(OdbcConnection& writer) const;
  int WaitSeconds() const;
  // A write reached no row that is still the very version read: the
  // table's row security keeps the row from the write.
  bool RefusedByRowSecurity(ChangeExecutor& executor, const StoredRow& original);
  Inserted Unidentified(const std::vector<CellChange>& cells) const;
  // What became of a row a write did not reach (not known, when finding
  // it fails), and the message that says so.
  ChangeVerifier::Found FindAgain(OdbcConnection& writer, ChangeExecutor& executor, const StoredRow& original);
  // PostgreSQL: rows deleted in one statement; false when that did not
  // delete them all, and nothing was deleted.
  bool DeletedAtOnce(const std::vector<StoredRow>& originals, const std::vector<std::string>& labels,
                     const std::string& failing);
  // The row was written again by someone else with the very values read.
  bool RewrittenAlike(const StoredRow& original, const ChangeVerifier::Found& found) const;
  [[noreturn]] static void RaiseNotAsRead(const ChangeVerifier::Found& found, const WriteFailure& failure);
  // Raises the message of a write of several rows or a new row that did not
  // go through.
  [[noreturn]] void RaiseBatchFailure(const ChangeExecutor::Batch& batch, const WriteFailure& failure,
                                      OdbcConnection& writer, ChangeExecutor& executor, const StoredRow* original);
  StoredRow Write(const StoredRow& original, const CellChange& change, const std::function<void()>& beforeWriting,
                  int retriesLeft);

  OdbcConnection& readConnection_;
  TableRead read_;
  std::vector<ColumnInfo> columns_;
  ChangePlanner planner_;
  ChangeVerifier verifier_;
  RenewableSession writer_;
  WritePermissions permissions_;
};

}  // namespace ado

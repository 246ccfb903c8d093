#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ChangeJournal.h"
#include "OdbcStatement.h"
#include "RenewableSession.h"
#include "ResultReader.h"
#include "RowWindow.h"
#include "TableRead.h"
#include "TableWriter.h"
#include "platform/ado/Recordset.h"

namespace ado {

// Everything one Open sets up; gone with Close.
struct Recordset::OpenState {
  ConnectionPtr connection;
  // Where the rows are read: the connection's own session until the server
  // ends it, then one opened afresh.
  std::shared_ptr<RenewableSession> reading;
  std::unique_ptr<OdbcStatement> statement;
  std::vector<ColumnInfo> columns;  // the visible columns, then the hidden ones
  int hiddenColumns = 0;
  std::vector<std::string> givenNames;
  bool columnsComplete = false;
  std::unique_ptr<ResultReader> reader;
  std::unique_ptr<RowWindow> rows;
  std::size_t position = 0;
  bool writable = false;  // client-side rows with optimistic locking
  std::optional<TableRead> read;
  RowView view;  // what the read shows, for a table read
  std::unique_ptr<TableWriter> writer;
  std::set<std::size_t> deletedRows;
  // Rows added here that cannot be found again: why they cannot be changed.
  std::map<std::size_t, std::string> rowReasons;
  // SQLite: rowids of rows added here while the read was paused, which the
  // read must not show again when it goes on.
  std::vector<long long> insertedRowids;
  // Rows added here, which stand where they were added rather than in the
  // table's order: no read goes on from them.
  std::set<std::size_t> addedRows;
  // Rows changed here that the view's find or filters would no longer show;
  // they stay in view until the rows are read anew.
  std::set<std::size_t> unmatchedRows;
  // Rows written here (changed, or shown as the database holds them after
  // a refused write), which keep their places where the view may now put
  // them elsewhere.
  std::set<std::size_t> writtenRows;
  // Exact texts of SQLite REAL cells whose usual text loses digits.
  mutable std::map<std::pair<std::size_t, int>, std::string> exactTexts;
  // A read closed before its end for a write, to go on after this rowid.
  bool readSuspended = false;
  // PostgreSQL under a sort: the read from the start asks for its first
  // rows only, which the server sorts in memory (0: for every row); where
  // it handed over all it asked for, it goes on after them when more rows
  // are wanted. So does a read paused for another read of its session.
  std::size_t firstReadLimit = 0;
  std::size_t firstReadRows = 0;
  bool readOnPastRowsRead = false;
  // The driver reads through a cursor that holds a transaction open until
  // the read is closed.
  bool cursorHoldsTransaction = false;
  long long resumeAfter = 0;
  std::string othersMark;  // see TableWriter::OthersCommitMark
  std::size_t generation = 0;
  bool rowCountExact = false;  // the rows were counted, not guessed
  ChangeJournal journal;

  int visibleColumns() const { return static_cast<int>(columns.size()) - hiddenColumns; }
};

}  // namespace ado

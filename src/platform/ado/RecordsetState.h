#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "detail/ChangeJournal.h"
#include "detail/DatabaseFileWatch.h"
#include "detail/OdbcStatement.h"
#include "detail/RenewableSession.h"
#include "detail/ResultReader.h"
#include "detail/RowMarks.h"
#include "detail/RowWindow.h"
#include "detail/TableRead.h"
#include "detail/TableWriter.h"
#include "Recordset.h"
#include "References.h"

namespace ado {

// What the recordset's parts say alike.
inline constexpr const char* ClosedMessage = "Operation is not allowed when the object is closed.";
inline constexpr const char* NoCurrentRowMessage =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.";
inline constexpr const char* ReadOnlyRecordsetMessage = "The recordset was opened read-only.";
inline constexpr const char* StoppedMessage = "The rows were not read: you stopped the read.";
inline constexpr const char* NoSuchFieldMessage =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";

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
  RowMarks marks;
  // SQLite: rowids of rows added here while the read was paused, which the
  // read must not show again when it goes on.
  std::vector<long long> insertedRowids;
  // A read closed before its end for a write, to go on after this rowid.
  bool readPaused = false;
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
  // The view's one integer order key: its range as the window opened (a
  // guess's companion) or as counted; whether the count found a row for
  // every value in it; and the window's place changes when it was taken
  // (see RowWindow::placeChanges), past which it tells nothing.
  std::optional<KeyRange> keyRange;
  bool keysDense = false;
  std::size_t keyRangeChanges = 0;
  ChangeJournal journal;
  std::shared_ptr<References> references;  // made when first asked for
  // The database's file as the table was opened (SQLite).
  DatabaseFileWatch file;
  // What the last write did beyond the rows it named, until told.
  RowsBeyond beyond;

  int visibleColumns() const { return static_cast<int>(columns.size()) - hiddenColumns; }
};

// What a delete of rows takes with it through the table's keys to itself.
struct Recordset::Taking {
  // Per row named: how far it lies below another row named (0: none
  // refers to it, and the write deletes it by name).
  std::vector<std::size_t> depths;
  // The other rows it takes, parents first, for the undo; and the places
  // of those the cache holds.
  std::vector<ChangeJournal::Step> steps;
  std::vector<std::size_t> held;
};

}  // namespace ado

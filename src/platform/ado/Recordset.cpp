#include "Recordset.h"

#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>

#include "AdoError.h"
#include "StatementWait.h"
#include "detail/ColumnDescriber.h"
#include "detail/DataSourceOptions.h"
#include "detail/RecordsetState.h"
#include "detail/OdbcConnection.h"
#include "detail/OdbcStatement.h"
#include "detail/RenewableSession.h"
#include "detail/ResultReader.h"
#include "detail/RowWindow.h"
#include "detail/SqliteCellStorage.h"
#include "detail/TableRead.h"
#include "detail/TableWriter.h"
#include "detail/ViewQuery.h"
#include "detail/WindowQuery.h"
#include "detail/WaitedRead.h"
#include "detail/WriteFailure.h"

namespace ado {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    if (x == y) return true;
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

const char* const ClosedMessage = "Operation is not allowed when the object is closed.";
const char* const NoCurrentRowMessage =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a current record.";
const char* const ReadOnlyRecordsetMessage = "The recordset was opened read-only.";
const char* const StoppedMessage = "The rows were not read: you stopped the read.";
const char* const NoSuchFieldMessage =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";

// What the table's catalogue tells beyond the driver: the own type of a
// column read as text to keep its value whole, and NOT NULL.
void AddCatalogueFacts(std::vector<ColumnInfo>& columns, const std::optional<TableRead>& read) {
  if (!read) return;
  for (std::size_t index = 0; index < columns.size(); ++index) {
    if (index < read->typesReadAsText.size() && !read->typesReadAsText[index].empty())
      columns[index].typeName = read->typesReadAsText[index];
    if (index < read->notNull.size() && read->notNull[index]) columns[index].nullable = false;
  }
}

// Long values of a table whose rows can be found again are held cut: up to
// this size a value costs little to hold and to read with its block of
// rows (a block of 256 rows of such values stays within 64 MB), and it is
// whole at hand for editors, copies and writes; past it, holding it is what
// costs the time and memory, while the grid shows only its first few
// thousand bytes. Columns that find a row again are held whole.
constexpr std::size_t LongestHeldValue = 256 * 1024;
// The rows of a sort PostgreSQL is asked for at first: a few screens.
constexpr std::size_t SortedFirstRows = 1000;

CellCut LongValuesCut(const TableRead& read, int visibleColumns) {
  CellCut cut;
  const bool findable = read.unavailable.empty() && read.identity != TableRead::Identity::None &&
                        (read.identity != TableRead::Identity::PrimaryKey || !read.key.empty());
  if (!findable) return cut;
  cut.above = LongestHeldValue;
  cut.columns.assign(static_cast<std::size_t>(visibleColumns), true);
  std::vector<int> finding = read.key;
  finding.insert(finding.end(), read.orderColumns.begin(), read.orderColumns.end());
  if (read.rowidColumn) finding.push_back(*read.rowidColumn);
  for (int column : finding)
    if (column >= 0 && column < visibleColumns) cut.columns[static_cast<std::size_t>(column)] = false;
  return cut;
}

// PostgreSQL through a cursor: an open read holds a transaction, so it is
// closed between looks and goes on after the last row's key where the
// primary key orders the rows.
bool CursorHoldsTransaction(const OdbcConnection& connection) {
  return connection.facts().isPostgreSql() && DataSourceOptionOn(connection.connectionString(), "UseDeclareFetch");
}

}  // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::setTable(const std::string& name) { table_ = name; }

Recordset::OpenState& Recordset::State() const {
  if (!state_) throw Error(ClosedMessage);
  return *state_;
}

void Recordset::Open(const std::string& source, const ConnectionPtr& activeConnection, int cursorType,
                     int lockType) {
  if (state_) throw Error("Operation is not allowed when the object is open.");
  if (!activeConnection || !activeConnection->isOpen())
    throw Error("The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
  if (cursorType < adOpenForwardOnly || cursorType > adOpenStatic || lockType < adLockReadOnly ||
      lockType > adLockOptimistic)
    throw Error("Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  // The cursor lives where the connection says at the moment of opening;
  // rows cached on our side with optimistic locking can be written back.
  const bool writable = activeConnection->cursorLocation() == adUseClient && lockType != adLockReadOnly;
  source_ = source;
  cursorType_ = cursorType;
  lockType_ = lockType;
  // Reads anew keep the session a read before had to open afresh.
  std::shared_ptr<RenewableSession> reading = std::exchange(carriedReading_, {});
  if (!reading) reading = std::make_shared<RenewableSession>(activeConnection->odbc(), &activeConnection->odbc());
  try {
    OpenOn(reading, activeConnection, writable);
  } catch (const Error& error) {
    // The server ended the session (while nothing was read, or before):
    // once more on a fresh one.
    if (ReadStopped(error) || !reading->EndedBy(error)) throw;
    OpenOn(reading, activeConnection, writable);
  }
}

void Recordset::OpenOn(const std::shared_ptr<RenewableSession>& reading, const ConnectionPtr& activeConnection,
                       bool writable) {
  OdbcConnection& connection = reading->Get();
  std::optional<TableRead> read;
  if (writable && !table_.empty()) read = PlanTableRead(connection, table_);
  auto statement = std::make_unique<OdbcStatement>(connection);
  const bool holdsTransaction = CursorHoldsTransaction(connection);
  // PostgreSQL sorts the first rows of a sort in memory, and all of them
  // only once rows past those are wanted (a scroll bar sized by a guess or
  // a count reads them where they are looked at instead).
  const std::size_t limit = read && view_.sortColumn >= 0 && connection.facts().isPostgreSql() ? SortedFirstRows : 0;
  if (read) {
    // A read closed after its first block (below) asks for that block
    // alone: planned for the whole of a large table, its first rows would
    // wait for the server to compile the plan (over half a second at ten
    // million rows).
    const bool firstBlockOnly = holdsTransaction && !read->orderColumns.empty() && ReadsByKeys(*read, view_);
    const std::size_t rows = limit > 0 ? limit : firstBlockOnly ? ResultReader::MaxRowsPerBlock : 0;
    ViewQuery query = rows > 0 ? BuildWindowQuery(*read, view_, connection.facts(), {}, rows)
                               : BuildViewQuery(*read, view_, connection.facts());
    query.parameters.BindTo(*statement);
    RunWaitedRead(*statement, [&] { statement->ExecDirect(query.sql); }, StoppedMessage);
  } else {
    statement->ExecDirect(source_);
  }
  Adopt(std::move(statement), activeConnection, {}, read ? read->hiddenCount() : 0);
  state_->reading = reading;
  state_->firstReadLimit = limit;
  state_->writable = writable;
  state_->read = std::move(read);
  state_->view = view_;
  if (state_->read)
    state_->rows = std::make_unique<RowWindow>(static_cast<int>(state_->columns.size()),
                                               LongValuesCut(*state_->read, state_->visibleColumns()));
  AddCatalogueFacts(state_->columns, state_->read);
  if (!state_->read) return;
  // A server may sort or search only when the first rows are fetched. Read
  // while the window turns, the columns are described first, here: the end
  // of a short result would describe them on the reading thread.
  try {
    if (StatementWait::Current()) CompleteColumns();
    RunWaitedRead(*state_->statement, [this] { ReadStartBlock(); }, StoppedMessage);
  } catch (const Error&) {
    Close();
    throw;
  }
  state_->cursorHoldsTransaction = holdsTransaction;
  CloseReadBetweenLooks();
}

void Recordset::OpenResult(std::unique_ptr<OdbcStatement> statement, const ConnectionPtr& connection,
                           const std::vector<std::string>& names) {
  if (state_) throw Error("Operation is not allowed when the object is open.");
  Adopt(std::move(statement), connection, names, 0);
}

void Recordset::Adopt(std::unique_ptr<OdbcStatement> statement, const ConnectionPtr& connection,
                      const std::vector<std::string>& names, int hiddenColumns) {
  auto state = std::make_unique<OpenState>();
  state->columns = DescribeResultShape(*statement);
  for (std::size_t index = 0; index < names.size() && index < state->columns.size(); ++index)
    state->columns[index].name = names[index];
  state->hiddenColumns = std::min<int>(hiddenColumns, static_cast<int>(state->columns.size()));
  // The columns are described in full at the latest when the last row has
  // been read, as the cursor closes then.
  state->reader = std::make_unique<ResultReader>(*statement, state->columns, connection->odbc().facts().blockGetData,
                                                 [this] { CompleteColumnsBeforeClose(); });
  state->connection = connection;
  state->statement = std::move(statement);
  state->givenNames = names;
  state->rows = std::make_unique<RowWindow>(static_cast<int>(state->columns.size()));
  state_ = std::move(state);
}

void Recordset::Close() {
  RequireOpen();
  // The writer and the reader go before the statement and the connection.
  state_->writer.reset();
  state_->reader.reset();
  state_->statement.reset();
  state_.reset();
}

bool Recordset::isOpen() const { return state_ != nullptr; }

void Recordset::Requery() {
  RequireOpen();
  // The rows read so far stay until the new read has its first rows: a read
  // refused or stopped leaves them as they were.
  PauseForAnotherRead();
  std::unique_ptr<OpenState> previous = std::move(state_);
  carriedReading_ = previous->reading;
  try {
    Open(source_, previous->connection, cursorType_, lockType_);
  } catch (...) {
    carriedReading_.reset();
    state_ = std::move(previous);
    throw;
  }
  previous->writer.reset();
  previous->reader.reset();
  previous->statement.reset();
}

RowView::ValueFilter Recordset::ValueFilterOf(std::size_t row, int column, bool keep) const {
  const OpenState& state = State();
  if (!state.rows->held(row) || column < 0 || column >= fieldCount()) throw Error(NoSuchFieldMessage);
  if (state.rows->cell(row, column).cut())
    throw Error("The value is too long to filter the rows by; filter by a shorter value.");
  const CellChange exact = ExactCell(CachedRow(row), column);
  return {column, exact.value, exact.storage, keep};
}

std::string Recordset::RowIdentity(std::size_t row) const {
  const OpenState& state = State();
  if (!state.read || !state.rows->held(row)) return {};
  std::vector<int> cells;
  switch (state.read->identity) {
    case TableRead::Identity::SqliteRowid:
      cells = {state.read->rowidAt};
      break;
    case TableRead::Identity::PostgresTuple:
      for (int column = state.visibleColumns(); column < static_cast<int>(state.columns.size()); ++column)
        cells.push_back(column);
      break;
    case TableRead::Identity::SqliteKey:
    case TableRead::Identity::PrimaryKey:
      cells = state.read->key;
      break;
    case TableRead::Identity::None:
      return {};
  }
  std::string identity;
  for (int column : cells) {
    const CellView view = state.rows->cell(row, column);
    // A length before each value keeps "a|b" + "c" apart from "a" + "b|c".
    identity += view.isNull ? std::string("N;") : std::to_string(view.text.size()) + ":" + std::string(view.text);
  }
  return identity;
}

bool Recordset::NullsSortFirst() const {
  // PostgreSQL takes NULL for larger than any value; SQLite and MariaDB
  // for smaller.
  return !State().connection->odbc().facts().isPostgreSql();
}

std::optional<std::size_t> Recordset::FindRow(const std::string& identity, std::size_t limit) {
  RequireOpen();
  if (identity.empty()) return std::nullopt;
  for (std::size_t row = 0; row < limit && FetchUntil(row); ++row)
    if (RowIdentity(row) == identity) return row;
  return std::nullopt;
}

void Recordset::RequireOpen() const {
  if (!state_) throw Error(ClosedMessage);
}

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
    if (state_->readSuspended) ResumeRead();
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

void Recordset::OpenReadFrom(const WindowStart& start) {
  OpenState& state = *state_;
  OdbcConnection& connection = state.reading->Get();
  ViewQuery query = BuildWindowQuery(*state.read, state.view, connection.facts(), start, NoRowLimit);
  auto statement = std::make_unique<OdbcStatement>(connection);
  query.parameters.BindTo(*statement);
  RunWaitedRead(*statement, [&] { statement->ExecDirect(query.sql); }, StoppedMessage);
  state.reader = std::make_unique<ResultReader>(*statement, state.columns, connection.facts().blockGetData);
  state.statement = std::move(statement);
  state.readSuspended = false;
}

void Recordset::ReadOnAfterEnd(const Error& cause) {
  OpenState& state = *state_;
  CompleteColumnsBeforeClose();
  state.reader.reset();
  state.statement.reset();
  state.readSuspended = false;
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
  if (!state.cursorHoldsTransaction || state.readSuspended || allRowsFetched()) return;
  // Only where the primary key orders the rows: a row's physical place
  // moves with every change of it, ours too, and a read going on after
  // one would show a changed row twice.
  if (state.read->orderColumns.empty() || !StartAfterLastRow()) return;
  CompleteColumnsBeforeClose();
  SuspendRead();
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

void Recordset::SuspendRead() {
  // Only freeing the statement makes every driver give back what it holds
  // for the cursor; the SQLite driver keeps its lock through SQL_CLOSE.
  state_->reader.reset();
  state_->statement.reset();
  state_->readSuspended = true;
}

void Recordset::ReadStartBlock() {
  OpenState& state = *state_;
  state.firstReadRows += state.reader->ReadBlock(state.rows->Head());
  if (state.firstReadLimit == 0 || !state.reader->finished()) return;
  // Fewer rows than asked for were all there are.
  if (state.firstReadRows >= state.firstReadLimit) {
    state.readOnPastRowsRead = true;
    SuspendRead();
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
    if (!after) {
      after.emplace();
      after->skip = state.firstReadRows;
    }
    OpenReadFrom(*after);
    return;
  }
  if (state.read->identity == TableRead::Identity::PostgresTuple) {
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
    state.deletedRows.clear();
    state.rowReasons.clear();
    state.addedRows.clear();
    state.writtenRows.clear();
    state.exactTexts.clear();
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
  state.readSuspended = false;
}

void Recordset::PauseForAnotherRead() {
  OpenState& state = *state_;
  // The SQLite driver steps through one statement of a connection at a
  // time and reads any other whole as it is executed: a sort of a large
  // table would work out every row before showing one. The read being
  // replaced therefore pauses, to go on past the rows it handed over
  // should the new read be refused or stopped.
  if (!state.read || state.readSuspended || allRowsFetched() || !state.reading->Get().facts().isSqlite()) return;
  CompleteColumnsBeforeClose();
  state.readOnPastRowsRead = true;
  SuspendRead();
}

void Recordset::ReleaseReadLock(int editedColumn) {
  OpenState& state = *state_;
  if (allRowsFetched()) return;
  // A read paused for another goes on before anything is written, as
  // where it stopped holds only while nothing changes.
  if (state.readSuspended && state.readOnPastRowsRead) ResumeRead();
  // The read goes in rowid order and can go on after the last rowid it
  // gave; but a write to the rowid itself could move a row already read to
  // where the read goes on, so the read is finished first then.
  // Under a find, a filter or a sort the rows come in another order than
  // the rowid's, and the read is finished first instead.
  const bool resumable = state.read && state.read->identity == TableRead::Identity::SqliteRowid &&
                         state.view.isDefault() &&
                         state.read->rowidColumn != editedColumn && state.rows->rowCount() > 0;
  if (resumable && state.readSuspended) return;
  if (resumable) {
    const CellView rowid =
        state.rows->cell(state.rows->rowCount() - 1, state.read->rowidAt);
    if (!rowid.isNull) {
      state.resumeAfter = std::stoll(std::string(rowid.text));
      SuspendRead();
      if (state.writer) state.othersMark = state.writer->OthersCommitMark();
      return;
    }
  }
  FetchMore(static_cast<std::size_t>(-1));
}

bool Recordset::Eof() {
  RequireOpen();
  return !FetchUntil(state_->position);
}

void Recordset::MoveNext() {
  RequireOpen();
  if (!FetchUntil(state_->position)) throw Error(NoCurrentRowMessage);
  ++state_->position;
}

int Recordset::ColumnIndex(std::string_view name) const {
  for (int index = 0; index < fieldCount(); ++index)
    if (SameName(state_->columns[static_cast<std::size_t>(index)].name, name)) return index;
  throw Error(NoSuchFieldMessage);
}

Value Recordset::FieldValue(std::string_view name) {
  RequireOpen();
  return FieldValue(ColumnIndex(name));
}

Value Recordset::FieldValue(int index) {
  RequireOpen();
  if (index < 0 || index >= fieldCount()) throw Error(NoSuchFieldMessage);
  if (!FetchUntil(state_->position)) throw Error(NoCurrentRowMessage);
  const CellView view = cell(state_->position, index);
  if (view.isNull) return Value();
  const ColumnInfo& info = state_->columns[static_cast<std::size_t>(index)];
  std::string text = view.cut() ? WholeValue(state_->position, index) : std::string(view.text);
  if (info.isBinary()) return Value::Binary(std::move(text));
  if (info.isNumber()) return Value::Number(std::move(text));
  return Value::Text(std::move(text));
}

int Recordset::fieldCount() const { return state_ ? state_->visibleColumns() : 0; }

const ColumnInfo& Recordset::column(int index) {
  if (index < 0 || index >= fieldCount()) throw Error(NoSuchFieldMessage);
  CompleteColumns();
  return state_->columns[static_cast<std::size_t>(index)];
}

const ColumnInfo& Recordset::knownColumn(int index) const {
  if (index < 0 || index >= fieldCount()) throw Error(NoSuchFieldMessage);
  return state_->columns[static_cast<std::size_t>(index)];
}

void Recordset::CompleteColumns() {
  OpenState& state = State();
  if (state.columnsComplete) return;
  // The statement stays until the recordset closes; only a read suspended
  // for a write gives it up, and a write completes the columns first.
  if (!state.statement) throw Error("The columns of the result can no longer be described.");
  std::vector<ColumnInfo> columns = DescribeColumns(*state.statement);
  for (std::size_t index = 0; index < state.givenNames.size() && index < columns.size(); ++index)
    columns[index].name = state.givenNames[index];
  // The type facts stay those the reader's buffers were sized by.
  for (std::size_t index = 0; index < columns.size() && index < state.columns.size(); ++index) {
    columns[index].sqlType = state.columns[index].sqlType;
    columns[index].size = state.columns[index].size;
    columns[index].decimalDigits = state.columns[index].decimalDigits;
  }
  AddCatalogueFacts(columns, state.read);
  state.columns = std::move(columns);
  state.columnsComplete = true;
}

void Recordset::CompleteColumnsBeforeClose() {
  try {
    CompleteColumns();
  } catch (const Error&) {
    // Reading the rows goes on; asking for the columns later says why not.
  }
}

TableWriter* Recordset::Writer() {
  OpenState& state = State();
  if (!state.writable) return nullptr;
  if (!state.writer) {
    try {
      CompleteColumns();
    } catch (const Error&) {
      // The read's connection may be gone (the server ended it). A table
      // read by its catalogue's terms is written on a connection of the
      // writer's own, with the columns as the result first described them.
      if (!state.read || !state.read->unavailable.empty()) throw;
    }
    std::vector<ColumnInfo> visible(state.columns.begin(), state.columns.begin() + state.visibleColumns());
    TableRead read = state.read ? *state.read : TableRead{};
    if (!state.read) read.unavailable = "The rows do not come from one known table, so changes cannot be written back.";
    ResolvePlainKey(state.reading->Get(), read, visible);
    state.writer = std::make_unique<TableWriter>(state.connection->odbc(), std::move(read), std::move(visible));
  }
  return state.writer.get();
}

std::shared_ptr<Recordset> Recordset::DataSource() { return shared_from_this(); }

std::size_t Recordset::rowCount() const { return state_ ? state_->rows->rowCount() : 0; }

bool Recordset::allRowsFetched() const {
  if (!state_) return true;
  if (state_->readSuspended) return false;
  return !state_->reader || state_->reader->finished();
}

std::size_t Recordset::FetchMore(std::size_t rows) {
  RequireOpen();
  const std::size_t before = state_->rows->rowCount();
  const std::size_t wanted = rows > SIZE_MAX - before ? SIZE_MAX : before + rows;
  while (state_->rows->rowCount() < wanted && !allRowsFetched()) ReadNextBlock();
  CloseReadBetweenLooks();
  return state_->rows->rowCount() - before;
}

std::optional<std::string> Recordset::ExactValueOf(std::string_view marks, int column) const {
  const TableRead& read = *state_->read;
  if (marks.empty()) return std::nullopt;
  SqliteCellStorage storage = StorageOfCell(false, read.usualStorage[static_cast<std::size_t>(column)], marks, column);
  if (storage.text) return std::move(storage.text);
  if (!storage.exact) return std::nullopt;
  return ExactRealText(*storage.exact);
}

CellView Recordset::cell(std::size_t row, int column) const {
  const OpenState& state = State();
  const CellView view = state.rows->cell(row, column);
  if (view.isNull || !state.read || column >= state.visibleColumns() || !state.read->hasStorageMarks()) return view;
  const CellView marks = state.rows->cell(row, state.read->marksAt);
  if (marks.isNull || marks.text.empty()) return view;
  const auto key = std::make_pair(row, column);
  if (auto found = state.exactTexts.find(key); found != state.exactTexts.end()) return {false, found->second};
  std::optional<std::string> exact = ExactValueOf(marks.text, column);
  if (!exact) return view;
  // Shown in full, so that two numbers that differ only past the fifteenth
  // digit never look alike, and text with a NUL byte whole.
  const std::string& text = state.exactTexts.emplace(key, std::move(*exact)).first->second;
  return {false, text};
}

CellChange Recordset::ExactCell(const StoredRow& row, int column) const {
  const std::optional<std::string>& value = row.at(static_cast<std::size_t>(column));
  const TableRead* read = state_->read ? &*state_->read : nullptr;
  if (!read || !read->hasStorageMarks()) return {column, value};
  const std::optional<std::string>& marks = row.at(static_cast<std::size_t>(read->marksAt));
  const SqliteCellStorage storage = StorageOfCell(!value, read->usualStorage[static_cast<std::size_t>(column)],
                                                  marks ? *marks : std::string(), column);
  std::optional<std::string> exact = value && marks ? ExactValueOf(*marks, column) : std::nullopt;
  // A BLOB read as text goes back as its bytes.
  if (!exact && value && storage.storageClass == 'b' && !state_->columns[static_cast<std::size_t>(column)].isBinary())
    exact = BlobOfDriverText(*value);
  return {column, exact ? exact : value, storage.storageClass};
}

std::size_t Recordset::generation() const { return state_ ? state_->generation : 0; }

bool Recordset::rowDeleted(std::size_t row) const { return state_ && state_->deletedRows.contains(row); }

void Recordset::SetRowUnmatched(std::size_t row, bool unmatched) {
  RequireOpen();
  if (unmatched)
    state_->unmatchedRows.insert(row);
  else
    state_->unmatchedRows.erase(row);
}

bool Recordset::rowUnmatched(std::size_t row) const { return state_ && state_->unmatchedRows.contains(row); }

std::string Recordset::RowReadOnlyReason(std::size_t row) const {
  if (!state_) return {};
  if (state_->deletedRows.contains(row))
    return "The row is no longer as it was read: someone else changed or deleted it. Open the table again to edit it.";
  const auto found = state_->rowReasons.find(row);
  return found == state_->rowReasons.end() ? std::string() : found->second;
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
  const StoredRow original =
      WholeRow(row, WriteFailure(state.columns[static_cast<std::size_t>(column)].name, value));
  StoredRow stored;
  try {
    stored = Writer()->UpdateCell(original, CellChange{column, value}, [this, column] { ReleaseReadLock(column); });
  } catch (const WriteError& error) {
    ShowRowNow(row, error);
    throw;
  }
  PutStoredRow(row, stored);
  const CellCut& cut = state.rows->cut();
  state.journal.Record(
      {"cell edit", {{state.journal.Follow(row), {column}, cut.Held(original, {column}), cut.Held(stored, {column})}}});
}

void Recordset::PutStoredRow(std::size_t row, const StoredRow& stored) {
  OpenState& state = *state_;
  state.rows->ReplaceRow(row, stored);
  state.writtenRows.insert(row);
  std::erase_if(state.exactTexts, [&](const auto& entry) { return entry.first.first == row; });
}

void Recordset::ShowRowNow(std::size_t row, const WriteError& error) {
  if (error.now().row) PutStoredRow(row, *error.now().row);
  if (error.now().deleted) state_->deletedRows.insert(row);
}

StoredRow Recordset::CachedRow(std::size_t row) const { return state_->rows->Row(row); }

void Recordset::ShiftRows(std::size_t from, std::ptrdiff_t by) {
  OpenState& state = *state_;
  auto moved = [&](std::size_t row) {
    return row >= from ? static_cast<std::size_t>(static_cast<std::ptrdiff_t>(row) + by) : row;
  };
  for (std::set<std::size_t>* rows :
       {&state.deletedRows, &state.addedRows, &state.unmatchedRows, &state.writtenRows}) {
    std::set<std::size_t> shifted;
    for (std::size_t row : *rows) shifted.insert(moved(row));
    *rows = std::move(shifted);
  }
  std::map<std::size_t, std::string> reasons;
  for (auto& [row, reason] : state.rowReasons) reasons.emplace(moved(row), std::move(reason));
  state.rowReasons = std::move(reasons);
  std::map<std::pair<std::size_t, int>, std::string> exact;
  for (auto& [cell, text] : state.exactTexts)
    exact.emplace(std::make_pair(moved(cell.first), cell.second), std::move(text));
  state.exactTexts = std::move(exact);
  state.journal.Shift(from, by);
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
  std::vector<std::string> labels;
  for (std::size_t row : rows) {
    if (!state.rows->held(row)) throw Error("The row to delete has not been read.");
    if (const std::string why = RowReadOnlyReason(row); !why.empty())
      throw Error("Row " + std::to_string(row + 1) + " cannot be deleted: " + why);
    StoredRow original = WholeRow(row, WriteFailure("Row " + std::to_string(row + 1) + " could not be deleted: "));
    if (!seen.insert(original).second) continue;
    deleting.push_back(row);
    originals.push_back(std::move(original));
    labels.push_back("row " + std::to_string(row + 1));
  }
  try {
    writer->DeleteRows(originals, labels, [this] { ReleaseReadLock(-1); });
  } catch (const WriteError& error) {
    ShowRowNow(deleting.at(error.failedRow()), error);
    throw;
  }
  const std::size_t count = deleting.size();
  ChangeJournal::Entry entry{count == 1 ? "deleting a row" : "deleting " + std::to_string(count) + " rows", {}};
  for (std::size_t index = 0; index < count; ++index)
    entry.steps.push_back({state.journal.Follow(deleting[index]), {}, HeldRow{originals[index], {}}, std::nullopt});
  state.journal.Record(std::move(entry));
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
  const TableWriter::Inserted inserted = writer->InsertRow(Changes(cells), [this] { ReleaseReadLock(-1); });
  PutNewRow(at, inserted.row, inserted.unidentified);
  // A row nothing names for sure cannot be deleted again by undo.
  if (inserted.unidentified.empty())
    state.journal.Record({"adding a row", {{state.journal.FollowNew(at), {}, std::nullopt, HeldRow{inserted.row, {}}}}});
  return inserted.unidentified;
}

void Recordset::PutNewRow(std::size_t at, const StoredRow& row, const std::string& unidentified) {
  OpenState& state = *state_;
  if (state.readSuspended && state.read && state.read->rowidAt >= 0) {
    const auto& rowid = row.at(static_cast<std::size_t>(state.read->rowidAt));
    if (rowid) state.insertedRowids.push_back(std::stoll(*rowid));
  }
  ShiftRows(at, 1);
  state.rows->InsertRow(at, row);
  state.addedRows.insert(at);
  if (!unidentified.empty()) state.rowReasons.emplace(at, unidentified);
}

void Recordset::WriteCells(const std::vector<std::pair<std::size_t, CellValues>>& rows,
                           const std::vector<CellValues>& newRows, std::size_t newAt) {
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
  TableWriter::Written written;
  try {
    written = writer->WriteRows(writes, labels, [this] { ReleaseReadLock(-1); });
  } catch (const WriteError& error) {
    if (error.failedRow() < rows.size()) ShowRowNow(rows[error.failedRow()].first, error);
    throw;
  }
  std::size_t cells = 0;
  ChangeJournal::Entry entry;
  for (std::size_t index = 0; index < rows.size(); ++index) {
    PutStoredRow(rows[index].first, written.updated[index]);
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
  entry.what = cells == 1 ? "paste of 1 cell" : "paste of " + std::to_string(cells) + " cells";
  if (undoable) state.journal.Record(std::move(entry));
}

std::vector<CellChange> Recordset::Changes(const CellValues& cells) {
  std::vector<CellChange> changes;
  for (const auto& [column, value] : cells) changes.push_back(CellChange{column, value});
  return changes;
}

std::string Recordset::TableReadOnlyReason() {
  RequireOpen();
  TableWriter* writer = Writer();
  if (!writer) return ReadOnlyRecordsetMessage;
  return writer->AddingReadOnlyReason();
}

std::string Recordset::ReadOnlyReason(int column) {
  if (!state_) return ClosedMessage;
  if (column < 0 || column >= fieldCount()) return NoSuchFieldMessage;
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

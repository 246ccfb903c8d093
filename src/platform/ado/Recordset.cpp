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
#include "RecordsetState.h"
#include "detail/OdbcConnection.h"
#include "detail/OdbcStatement.h"
#include "detail/RenewableSession.h"
#include "detail/ResultReader.h"
#include "detail/RowWindow.h"
#include "detail/TableRead.h"
#include "detail/TableWriter.h"
#include "detail/dialect/Dialect.h"
#include "detail/ForeignKeyCatalogue.h"
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
  if (writable && !table_.empty()) {
    read = PlanTableRead(connection, table_);
    read->foreignKeys = LearnForeignKeys(connection, *read);
  }
  auto statement = std::make_unique<OdbcStatement>(connection);
  // A read through a cursor that holds a transaction open is closed between
  // looks, and goes on after the last row's key where a key orders the rows.
  const bool holdsTransaction = connection.facts().cursorHoldsTransaction;
  // A database that sorts the first rows of a sort in memory is asked for
  // those first, and for all of them only once rows past those are wanted
  // (a scroll bar sized by a guess or a count reads them where they are
  // looked at instead); so is one whose driver takes in a whole result
  // before it hands over its first row.
  const Dialect& dialect = *connection.facts().dialect;
  const std::size_t limit =
      read ? std::max(view_.sortColumn >= 0 ? dialect.SortedFirstRows() : std::size_t{0}, dialect.FirstRows()) : 0;
  if (read) {
    // A read closed after its first block (below) asks for that block
    // alone: planned for the whole of a large table, its first rows would
    // wait for the server to compile the plan (over half a second at ten
    // million rows).
    const bool firstBlockOnly = holdsTransaction && !read->orderColumns.empty() && ReadsByKeys(*read, view_);
    const std::size_t rows = limit > 0 ? limit : firstBlockOnly ? ResultReader::MaxRowsPerBlock : 0;
    ViewQuery query = rows > 0 ? BuildWindowQuery(*read, view_, {}, rows) : BuildViewQuery(*read, view_);
    query.parameters.BindTo(*statement);
    RunWaitedRead(*statement, [&] { statement->ExecDirect(query.sql); }, StoppedMessage);
  } else {
    statement->ExecDirect(source_);
  }
  Adopt(std::move(statement), activeConnection, read ? read->columnNames : std::vector<std::string>{},
        read ? read->hiddenCount() : 0, read ? read->packedColumns : std::vector<ColumnInfo>{});
  state_->reading = reading;
  if (read) state_->file = DatabaseFileWatch(dialect.DatabaseFile(connection));
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
                      const std::vector<std::string>& names, int hiddenColumns,
                      const std::vector<ColumnInfo>& packed) {
  auto state = std::make_unique<OpenState>();
  state->columns = DescribeResultShape(*statement);
  if (!packed.empty() && !state->columns.empty()) {
    state->columns.pop_back();
    state->columns.insert(state->columns.end(), packed.begin(), packed.end());
  }
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
  // Read anew, a file moved away or replaced would show its old rows.
  if (const std::string moved = state_->file.WhatHappened(); !moved.empty()) throw Error(moved);
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
  // The changes written stay undoable: their rows are found again by their
  // identity wherever the new read puts them.
  state_->journal = std::move(previous->journal);
  state_->journal.ForgetPlaces();
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
  return IdentityOf([&](int column) { return state.rows->cell(row, column); });
}

std::string Recordset::IdentityOf(const std::function<CellView(int)>& cellOf) const {
  const OpenState& state = *state_;
  const std::vector<int> cells = state.read->dialect->IdentityCells(*state.read, state.visibleColumns());
  if (cells.empty()) return {};
  std::string identity;
  for (int column : cells) {
    const CellView view = cellOf(column);
    // A length before each value keeps "a|b" + "c" apart from "a" + "b|c".
    identity += view.isNull ? std::string("N;") : std::to_string(view.text.size()) + ":" + std::string(view.text);
  }
  return identity;
}

bool Recordset::NullsSortFirst() const { return State().connection->odbc().facts().dialect->NullsSortFirst(); }

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
  // The statement stays until the recordset closes; only a read paused
  // for a write gives it up, and a write completes the columns first.
  if (!state.statement) throw Error("The columns of the result can no longer be described.");
  std::vector<ColumnInfo> columns = DescribeColumns(*state.statement);
  // Cells read packed keep the description they were planned with.
  const auto packed = std::ranges::find_if(state.columns, &ColumnInfo::packed);
  if (packed != state.columns.end() && !columns.empty()) {
    columns.pop_back();
    columns.insert(columns.end(), packed, state.columns.end());
  }
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
    ResolveKey(state.reading->Get(), read, visible);
    state.writer = std::make_unique<TableWriter>(state.connection->odbc(), std::move(read), std::move(visible));
  }
  return state.writer.get();
}

std::shared_ptr<Recordset> Recordset::DataSource() { return shared_from_this(); }

std::size_t Recordset::rowCount() const { return state_ ? state_->rows->rowCount() : 0; }

bool Recordset::allRowsFetched() const {
  if (!state_) return true;
  if (state_->readPaused) return false;
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

CellView Recordset::cell(std::size_t row, int column) const {
  const OpenState& state = State();
  const CellView view = state.rows->cell(row, column);
  if (view.isNull || !state.read || column >= state.visibleColumns() || !state.read->hasStorageMarks()) return view;
  const CellView marks = state.rows->cell(row, state.read->marksAt);
  if (marks.isNull || marks.text.empty()) return view;
  const auto key = std::make_pair(row, column);
  if (auto found = state.marks.exactTexts.find(key); found != state.marks.exactTexts.end()) return {false, found->second};
  std::optional<std::string> exact = state.read->dialect->ExactText(*state.read, marks.text, column);
  if (!exact) return view;
  // Shown in full, so that two numbers that differ only past the fifteenth
  // digit never look alike, and text with a NUL byte whole.
  const std::string& text = state.marks.exactTexts.emplace(key, std::move(*exact)).first->second;
  return {false, text};
}

CellChange Recordset::ExactCell(const StoredRow& row, int column) const {
  if (!state_->read) return {column, row.at(static_cast<std::size_t>(column))};
  return state_->read->dialect->ExactCell(*state_->read, state_->columns[static_cast<std::size_t>(column)], row,
                                          column);
}

std::size_t Recordset::generation() const { return state_ ? state_->generation : 0; }

bool Recordset::rowDeleted(std::size_t row) const { return state_ && state_->marks.deleted.contains(row); }

void Recordset::SetRowUnmatched(std::size_t row, bool unmatched) {
  RequireOpen();
  if (unmatched)
    state_->marks.unmatched.insert(row);
  else
    state_->marks.unmatched.erase(row);
}

bool Recordset::rowUnmatched(std::size_t row) const { return state_ && state_->marks.unmatched.contains(row); }

}  // namespace ado

#include "Recordset.h"

#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "AdoError.h"
#include "ColumnDescriber.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "ReadResumption.h"
#include "ResultReader.h"
#include "RowCache.h"
#include "RowWriter.h"
#include "WritePlan.h"

namespace ado {
namespace {

bool IsNumeric(int sqlType) {
  switch (sqlType) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
    case SQL_DECIMAL: case SQL_NUMERIC: case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
    case SQL_BIT:
      return true;
    default:
      return false;
  }
}

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
const char* const NoSuchFieldMessage =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";

}  // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(const std::string& source, const ConnectionPtr& activeConnection, int cursorType,
                     int lockType) {
  if (open_) throw Error("Operation is not allowed when the object is open.");
  if (!activeConnection || !activeConnection->isOpen())
    throw Error("The connection cannot be used to perform this operation. It is either closed or invalid in this context.");
  if (cursorType < adOpenForwardOnly || cursorType > adOpenStatic || lockType < adLockReadOnly ||
      lockType > adLockOptimistic)
    throw Error("Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  auto statement = std::make_unique<OdbcStatement>(activeConnection->odbc());
  statement->ExecDirect(source);
  // The cursor lives where the connection says at the moment of opening.
  const bool client = activeConnection->cursorLocation() == adUseClient;
  OpenResult(std::move(statement), activeConnection);
  source_ = source;
  clientCursor_ = client;
  lockType_ = lockType;
  // How rows are written back is worked out when first needed (Writer).
}

void Recordset::OpenResult(std::unique_ptr<OdbcStatement> statement, const ConnectionPtr& connection,
                           const std::vector<std::string>& names) {
  if (open_) throw Error("Operation is not allowed when the object is open.");
  std::vector<ColumnInfo> columns = DescribeResultShape(*statement);
  for (std::size_t index = 0; index < names.size() && index < columns.size(); ++index)
    columns[index].name = names[index];
  // The columns are described in full at the latest when the last row has
  // been read, as the cursor closes then.
  auto reader = std::make_unique<ResultReader>(*statement, columns, connection->odbc().blockGetData(),
                                               [this] { CompleteColumnsBeforeClose(); });
  connection_ = connection;
  statement_ = std::move(statement);
  columns_ = std::move(columns);
  columnNames_ = names;
  columnsComplete_ = false;
  writesPlanned_ = false;
  writer_.reset();
  reader_ = std::move(reader);
  rows_ = std::make_unique<RowCache>(static_cast<int>(columns_.size()));
  position_ = 0;
  clientCursor_ = false;
  lockType_ = adLockReadOnly;
  source_.clear();
  readSuspended_ = false;
  resumptionPlanned_ = false;
  resumption_.reset();
  open_ = true;
}

void Recordset::Close() {
  RequireOpen();
  writer_.reset();
  rows_.reset();
  reader_.reset();
  statement_.reset();
  columns_.clear();
  columnNames_.clear();
  columnsComplete_ = false;
  writesPlanned_ = false;
  connection_.reset();
  resumption_.reset();
  resumptionPlanned_ = false;
  readSuspended_ = false;
  position_ = 0;
  open_ = false;
}

bool Recordset::isOpen() const { return open_; }

void Recordset::RequireOpen() const {
  if (!open_) throw Error(ClosedMessage);
}

bool Recordset::FetchUntil(std::size_t row) {
  while (rows_->rowCount() <= row && !allRowsFetched()) ReadNextBlock();
  return row < rows_->rowCount();
}

void Recordset::ReadNextBlock() {
  if (readSuspended_) ResumeRead();
  reader_->ReadBlock(*rows_);
}

void Recordset::SuspendRead() {
  // Only freeing the statement makes every driver give back what it holds
  // for the cursor; the SQLite driver keeps its lock through SQL_CLOSE.
  reader_.reset();
  statement_.reset();
  readSuspended_ = true;
}

void Recordset::ResumeRead() {
  auto statement = std::make_unique<OdbcStatement>(connection_->odbc());
  statement->ExecDirect(resumption_->QueryAfter(resumeAfter_));
  reader_ = std::make_unique<ResultReader>(*statement, columns_, connection_->odbc().blockGetData());
  statement_ = std::move(statement);
  readSuspended_ = false;
}

void Recordset::ReleaseReadLock(int editedColumn) {
  if (allRowsFetched()) return;
  if (!resumptionPlanned_) {
    resumptionPlanned_ = true;
    if (auto planned = PlanReadResumption(connection_->odbc(), source_, columns_))
      resumption_ = std::make_unique<ReadResumption>(std::move(*planned));
  }
  // A write to the key itself could move an already read row behind the
  // point the read goes on from, where it would come again; so the read is
  // finished first then.
  const bool resumable = resumption_ && editedColumn != resumption_->keyColumn && rows_->rowCount() > 0;
  if (resumable && readSuspended_) return;
  if (resumable) {
    const CellView key = rows_->cell(rows_->rowCount() - 1, resumption_->keyColumn);
    if (!key.isNull) {
      resumeAfter_ = std::stoll(std::string(key.text));
      SuspendRead();
      return;
    }
  }
  FetchMore(static_cast<std::size_t>(-1));
}

bool Recordset::Eof() {
  RequireOpen();
  return !FetchUntil(position_);
}

void Recordset::MoveNext() {
  RequireOpen();
  if (!FetchUntil(position_)) throw Error(NoCurrentRowMessage);
  ++position_;
}

int Recordset::ColumnIndex(std::string_view name) const {
  for (std::size_t index = 0; index < columns_.size(); ++index)
    if (SameName(columns_[index].name, name)) return static_cast<int>(index);
  throw Error(NoSuchFieldMessage);
}

Value Recordset::FieldValue(std::string_view name) {
  RequireOpen();
  return FieldValue(ColumnIndex(name));
}

Value Recordset::FieldValue(int index) {
  RequireOpen();
  if (index < 0 || index >= fieldCount()) throw Error(NoSuchFieldMessage);
  if (!FetchUntil(position_)) throw Error(NoCurrentRowMessage);
  const CellView view = rows_->cell(position_, index);
  if (view.isNull) return Value();
  const ColumnInfo& info = columns_[static_cast<std::size_t>(index)];
  std::string text(view.text);
  if (info.isBinary()) return Value::Binary(std::move(text));
  if (IsNumeric(info.sqlType)) return Value::Number(std::move(text));
  return Value::Text(std::move(text));
}

int Recordset::fieldCount() const { return static_cast<int>(columns_.size()); }

const ColumnInfo& Recordset::column(int index) {
  if (index < 0 || index >= fieldCount()) throw Error(NoSuchFieldMessage);
  CompleteColumns();
  return columns_[static_cast<std::size_t>(index)];
}

const ColumnInfo& Recordset::knownColumn(int index) const {
  if (index < 0 || index >= fieldCount()) throw Error(NoSuchFieldMessage);
  return columns_[static_cast<std::size_t>(index)];
}

void Recordset::CompleteColumns() {
  if (columnsComplete_) return;
  RequireOpen();
  // The statement stays until the recordset closes; only a read suspended
  // for a write gives it up, and a write completes the columns first.
  if (!statement_) throw Error("The columns of the result can no longer be described.");
  std::vector<ColumnInfo> columns = DescribeColumns(*statement_);
  for (std::size_t index = 0; index < columnNames_.size() && index < columns.size(); ++index)
    columns[index].name = columnNames_[index];
  columns_ = std::move(columns);
  columnsComplete_ = true;
}

void Recordset::CompleteColumnsBeforeClose() {
  try {
    CompleteColumns();
  } catch (const Error&) {
    // Reading the rows goes on; asking for the columns later says why not.
  }
}

bool Recordset::writable() const {
  // Rows cached on our side with optimistic locking can be written back.
  return clientCursor_ && lockType_ != adLockReadOnly;
}

RowWriter* Recordset::Writer() {
  if (!writable()) return nullptr;
  if (!writesPlanned_) {
    CompleteColumns();
    OdbcConnection& connection = connection_->odbc();
    writer_ = std::make_unique<RowWriter>(connection, columns_, PlanWrites(connection, columns_, source_));
    writesPlanned_ = true;
  }
  return writer_.get();
}

std::shared_ptr<Recordset> Recordset::DataSource() { return shared_from_this(); }

std::size_t Recordset::rowCount() const { return rows_ ? rows_->rowCount() : 0; }

bool Recordset::allRowsFetched() const {
  if (readSuspended_) return false;
  return !reader_ || reader_->finished();
}

std::size_t Recordset::FetchMore(std::size_t rows) {
  RequireOpen();
  const std::size_t before = rows_->rowCount();
  const std::size_t wanted = rows > SIZE_MAX - before ? SIZE_MAX : before + rows;
  while (rows_->rowCount() < wanted && !allRowsFetched()) ReadNextBlock();
  return rows_->rowCount() - before;
}

CellView Recordset::cell(std::size_t row, int column) const {
  RequireOpen();
  return rows_->cell(row, column);
}

void Recordset::UpdateCell(std::size_t row, int column, const std::optional<std::string>& value) {
  RequireOpen();
  const std::string reason = ReadOnlyReason(column);
  if (!reason.empty()) throw Error(reason);
  Writer()->UpdateCell(*rows_, row, column, value, [this, column] { ReleaseReadLock(column); });
}

std::string Recordset::ReadOnlyReason(int column) {
  if (!open_) return ClosedMessage;
  if (column < 0 || column >= fieldCount()) return NoSuchFieldMessage;
  RowWriter* writer = nullptr;
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
  if (!open_) return ClosedMessage;
  if (column < 0 || column >= fieldCount()) return NoSuchFieldMessage;
  if (!writable()) return ReadOnlyRecordsetMessage;
  return writer_ ? writer_->ReadOnlyReason(column) : std::string();
}

}  // namespace ado

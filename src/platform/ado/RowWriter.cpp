#include "RowWriter.h"

#include <sqlext.h>

#include <algorithm>
#include <cctype>

#include "AdoError.h"
#include "BoundParameters.h"
#include "OdbcConnection.h"
#include "OdbcDiagnostics.h"
#include "OdbcStatement.h"
#include "RowCache.h"
#include "StatementRows.h"
#include "WriteFailure.h"

namespace ado {
namespace {

using Row = std::vector<std::optional<std::string>>;

Row CachedRow(const RowCache& rows, std::size_t row) {
  Row values;
  for (int column = 0; column < rows.columnCount(); ++column) {
    const CellView cell = rows.cell(row, column);
    values.push_back(cell.isNull ? std::nullopt : std::optional<std::string>(std::string(cell.text)));
  }
  return values;
}

bool DriverIsSqlite(const OdbcConnection& connection) {
  std::string name = connection.DriverName();
  std::ranges::transform(name, name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return name.find("sqlite") != std::string::npos;
}

// PostgreSQL hands the changed row back with UPDATE ... RETURNING.
bool ServerReturnsChangedRows(const OdbcConnection& connection) {
  SQLCHAR name[128] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection.handle(), SQL_DBMS_NAME, name, sizeof name, &length))) return false;
  return std::string_view(reinterpret_cast<const char*>(name)) == "PostgreSQL";
}

void LimitBusyWait(OdbcStatement& statement, int seconds) {
  const auto timeout = static_cast<SQLULEN>(seconds);
  SQLSetStmtAttr(statement.handle(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), SQL_IS_UINTEGER);
}

// Ends a transaction with a rollback unless it was committed.
class Transaction {
 public:
  Transaction(OdbcConnection& connection, bool enabled) : connection_(connection), enabled_(enabled) {}
  ~Transaction() {
    if (enabled_ && !ended_ && connection_.isOpen()) SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_ROLLBACK);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit() {
    ended_ = true;
    if (!enabled_) return;
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_COMMIT);
    if (!SQL_SUCCEEDED(rc)) {
      Diagnostics diagnostics = ReadDiagnostics(SQL_HANDLE_DBC, connection_.handle());
      SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_ROLLBACK);
      throw Error(diagnostics.text.empty() ? "The change could not be committed." : diagnostics.text,
                  diagnostics.firstState);
    }
  }
  void Rollback() {
    ended_ = true;
    if (enabled_) SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_ROLLBACK);
  }

 private:
  OdbcConnection& connection_;
  bool enabled_;
  bool ended_ = false;
};

}  // namespace

RowWriter::RowWriter(OdbcConnection& readConnection, std::vector<ColumnInfo> columns, WritePlan plan)
    : read_(readConnection), columns_(std::move(columns)), plan_(std::move(plan)) {
  // With the SQLite driver an unfinished read keeps a shared lock on the
  // database file, which a second connection's commit would wait for in vain.
  readerBlocksWriters_ = DriverIsSqlite(read_);
  const bool keyed = plan_.kind == WritePlan::Identity::PrimaryKey || plan_.kind == WritePlan::Identity::UniqueIndex;
  oneStatement_ = keyed && ServerReturnsChangedRows(read_);
}

RowWriter::~RowWriter() = default;

std::string RowWriter::ReadOnlyReason(int column) const {
  if (!plan_.unavailable.empty()) return plan_.unavailable;
  if (column < 0 || static_cast<std::size_t>(column) >= columns_.size()) return "There is no such column.";
  const ColumnInfo& info = columns_[static_cast<std::size_t>(column)];
  if (!info.updatable) return "The data source reports the column \"" + info.name + "\" as read-only.";

  return {};
}

OdbcConnection& RowWriter::Writer() {
  // A connection of its own, so that a commit never closes the cursor the
  // rows are being read through. One that was lost (the server ended it)
  // is replaced, so a retry can succeed.
  if (writerLost_) {
    writer_.reset();
    writerLost_ = false;
  }
  if (!writer_) {
    writer_ = read_.OpenAnother();
    if (!plan_.transactionsDisabled && !oneStatement_) {
      const SQLRETURN rc = SQLSetConnectAttr(writer_->handle(), SQL_ATTR_AUTOCOMMIT,
                                             reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
      if (!SQL_SUCCEEDED(rc)) {
        auto failed = std::move(writer_);
        ThrowOdbcError(SQL_HANDLE_DBC, failed->handle(), "Starting manual commit");
      }
    }
  }
  return *writer_;
}

std::string RowWriter::Where(const Row& values, const std::vector<int>& columns, BoundParameters& parameters) const {
  std::string where;
  for (int column : columns) {
    const auto index = static_cast<std::size_t>(column);
    if (!where.empty()) where += " AND ";
    if (!values[index]) {
      where += plan_.columns[index] + " IS NULL";
    } else {
      where += plan_.columns[index] + " = ?";
      parameters.Add(values[index], columns_[index]);
    }
  }
  return where;
}

std::optional<Row> RowWriter::ReadStoredRow(OdbcStatement& statement) const {
  std::vector<bool> binary;
  for (const ColumnInfo& column : columns_) binary.push_back(column.isBinary());
  return ReadNextRow(statement, binary);
}

std::string RowWriter::SelectList() const {
  std::string select;
  for (const std::string& name : plan_.columns) select += (select.empty() ? "" : ", ") + name;
  return select;
}

std::optional<Row> RowWriter::ReadRow(OdbcConnection& connection, const Row& identityValues) {
  BoundParameters parameters;
  const std::string sql =
      "SELECT " + SelectList() + " FROM " + plan_.table + " WHERE " + Where(identityValues, plan_.identity, parameters);
  OdbcStatement statement(connection);
  parameters.BindTo(statement);
  statement.ExecDirect(sql);
  return ReadStoredRow(statement);
}

void RowWriter::Refresh(RowCache& rows, std::size_t row, OdbcConnection& connection, const Row& identityValues) {
  if (auto current = ReadRow(connection, identityValues)) rows.ReplaceRow(row, *current);
}

void RowWriter::UpdateCell(RowCache& rows, std::size_t row, int column, const std::optional<std::string>& value,
                           const std::function<void()>& finishReading) {
  const std::string reason = ReadOnlyReason(column);
  if (!reason.empty()) throw Error(reason);
  if (row >= rows.rowCount()) throw Error("The row to change has not been read.");
  const auto edited = static_cast<std::size_t>(column);
  const Row original = CachedRow(rows, row);
  WriteFailure failure(columns_[edited].name, value);

  if (readerBlocksWriters_) finishReading();

  // The row as read: its identity, and the edited cell unless it cannot be
  // compared exactly.
  std::vector<int> checked = plan_.identity;
  if (std::ranges::find(checked, column) == checked.end() && !IsInexact(columns_[edited])) checked.push_back(column);

  if (oneStatement_)
    UpdateInOneStatement(rows, row, column, value, original, checked, failure);
  else
    UpdateInTransaction(rows, row, column, value, original, checked, failure);
}

void RowWriter::UpdateInOneStatement(RowCache& rows, std::size_t row, int column,
                                     const std::optional<std::string>& value, const Row& original,
                                     const std::vector<int>& checked, const WriteFailure& failure) {
  const auto edited = static_cast<std::size_t>(column);
  OdbcConnection& writer = Writer();
  BoundParameters parameters;
  parameters.Add(value, columns_[edited]);
  const std::string sql = "UPDATE " + plan_.table + " SET " + plan_.columns[edited] + " = ? WHERE " +
                          Where(original, checked, parameters) + " RETURNING " + SelectList();
  OdbcStatement statement(writer);
  LimitBusyWait(statement, BusyWaitSeconds);
  parameters.BindTo(statement);
  bool changed = false;
  try {
    // In autocommit: the statement is committed when it succeeds, and
    // undone by the server when it fails. The key lets it change one row
    // at most; no row at all is SQL_NO_DATA.
    changed = statement.ExecDirect(sql);
  } catch (const Error& error) {
    if (!WriteFailure::IsConnectionLost(error)) failure.Raise(error);
    writerLost_ = true;
    SettleLostWrite(rows, row, column, value, original, failure, error);
    return;
  }

  if (changed) {
    std::optional<Row> stored;
    try {
      stored = ReadStoredRow(statement);
    } catch (const Error&) {
      // The change is stored; only showing it back failed.
    }
    if (!stored) {
      stored = original;
      (*stored)[edited] = value;
    }
    rows.ReplaceRow(row, *stored);
    return;
  }
  const bool exists = ReadRow(writer, original).has_value();
  Refresh(rows, row, writer, original);
  failure.RaiseChangedOrDeleted(exists);
}

// The session ended while the statement was under way, so it may have been
// committed or not. A new session reads the row to tell which.
void RowWriter::SettleLostWrite(RowCache& rows, std::size_t row, int column, const std::optional<std::string>& value,
                                const Row& original, const WriteFailure& failure, const Error& lost) {
  const auto edited = static_cast<std::size_t>(column);
  Row identityAfter = original;
  identityAfter[edited] = value;
  std::optional<Row> current;
  try {
    OdbcConnection& writer = Writer();
    current = ReadRow(writer, identityAfter);
    if (!current && std::ranges::find(plan_.identity, column) != plan_.identity.end())
      current = ReadRow(writer, original);
  } catch (const Error&) {
    failure.RaiseOutcomeUnknown(lost);
  }
  if (!current) failure.RaiseOutcomeUnknown(lost);
  rows.ReplaceRow(row, *current);
  const std::optional<std::string>& now = (*current)[edited];
  if (now == value) return;  // saved: the database holds what was typed
  if (now == original[edited]) failure.Raise(lost);
  failure.RaiseOutcomeUnknown(lost);
}

void RowWriter::UpdateInTransaction(RowCache& rows, std::size_t row, int column,
                                    const std::optional<std::string>& value, const Row& original,
                                    const std::vector<int>& checked, const WriteFailure& failure) {
  const auto edited = static_cast<std::size_t>(column);
  OdbcConnection& writer = Writer();

  if (plan_.transactionsDisabled) {
    // Nothing could be undone here, so make sure first that exactly one row
    // would change.
    BoundParameters countParameters;
    const std::string count =
        "SELECT COUNT(*) FROM " + plan_.table + " WHERE " + Where(original, checked, countParameters);
    OdbcStatement statement(writer);
    countParameters.BindTo(statement);
    try {
      statement.ExecDirect(count);
    } catch (const Error& error) {
      failure.Raise(error);
    }
    const auto rowsFound = ReadAllRows(statement);
    const long matching = rowsFound.empty() || !rowsFound[0][0] ? 0 : std::stol(*rowsFound[0][0]);
    if (matching > 1) failure.RaiseSeveralWithoutTransactions(matching);
    if (matching == 0) {
      const bool exists = ReadRow(writer, original).has_value();
      Refresh(rows, row, writer, original);
      failure.RaiseChangedOrDeleted(exists);
    }
  }

  long changed = 0;
  {
    Transaction transaction(writer, !plan_.transactionsDisabled);
    BoundParameters parameters;
    parameters.Add(value, columns_[edited]);
    const std::string sql = "UPDATE " + plan_.table + " SET " + plan_.columns[edited] + " = ? WHERE " +
                            Where(original, checked, parameters);
    OdbcStatement statement(writer);
    LimitBusyWait(statement, BusyWaitSeconds);
    parameters.BindTo(statement);
    bool committing = false;
    try {
      statement.ExecDirect(sql);
      SQLLEN count = 0;
      statement.Check(SQLRowCount(statement.handle(), &count), "Counting the changed rows");
      changed = count;
      committing = changed == 1;
      if (committing)
        transaction.Commit();
      else
        transaction.Rollback();
    } catch (const Error& error) {
      transaction.Rollback();
      writerLost_ = WriteFailure::IsConnectionLost(error);
      // A connection lost while the commit was under way leaves the outcome
      // to the server: saying "not saved" could be false.
      if (committing && writerLost_) failure.RaiseOutcomeUnknown(error);
      failure.Raise(error);
    }
  }

  // The row is found again by its identity, with the new value where the
  // edited column is part of it.
  Row identityAfter = original;
  if (changed == 1) identityAfter[edited] = value;
  if (changed == 1) {
    try {
      if (auto stored = ReadRow(writer, identityAfter)) {
        rows.ReplaceRow(row, *stored);
      } else {
        Row patched = original;
        patched[edited] = value;
        rows.ReplaceRow(row, patched);
      }
    } catch (const Error&) {
      // The change is stored; only showing it back failed.
      Row patched = original;
      patched[edited] = value;
      rows.ReplaceRow(row, patched);
    }
    if (!plan_.transactionsDisabled) SQLEndTran(SQL_HANDLE_DBC, writer.handle(), SQL_COMMIT);
    return;
  }
  if (changed > 1) failure.RaiseSeveral(changed);
  const bool exists = ReadRow(writer, original).has_value();
  Refresh(rows, row, writer, original);
  if (!plan_.transactionsDisabled) SQLEndTran(SQL_HANDLE_DBC, writer.handle(), SQL_COMMIT);
  failure.RaiseChangedOrDeleted(exists);
}

}  // namespace ado

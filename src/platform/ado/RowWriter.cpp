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
    if (!plan_.transactionsDisabled) {
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

std::optional<Row> RowWriter::ReadRow(OdbcConnection& connection, const Row& identityValues) {
  BoundParameters parameters;
  std::string select;
  for (const std::string& name : plan_.columns) select += (select.empty() ? "" : ", ") + name;
  const std::string sql =
      "SELECT " + select + " FROM " + plan_.table + " WHERE " + Where(identityValues, plan_.identity, parameters);
  OdbcStatement statement(connection);
  parameters.BindTo(statement);
  statement.ExecDirect(sql);
  std::vector<bool> binary;
  for (const ColumnInfo& column : columns_) binary.push_back(column.isBinary());
  return ReadNextRow(statement, binary);
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
  OdbcConnection& writer = Writer();

  // The row as read: its identity, and the edited cell unless it cannot be
  // compared exactly.
  std::vector<int> checked = plan_.identity;
  if (std::ranges::find(checked, column) == checked.end() && !IsInexact(columns_[edited])) checked.push_back(column);

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
    SQLSetStmtAttr(statement.handle(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(BusyWaitSeconds),
                   SQL_IS_UINTEGER);
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

#include "OdbcStatement.h"

#include <sqlext.h>

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "OdbcConnection.h"
#include "OdbcDiagnostics.h"

namespace ado {
namespace {

// The pieces a long value is sent in.
constexpr std::size_t ValuePieceBytes = 1024 * 1024;

}  // namespace

OdbcStatement::OdbcStatement(OdbcConnection& connection)
    : connection_(&connection), handle_(AllocateStatement(connection.handle())) {
  connection_->Register(this);
}

OdbcStatement::~OdbcStatement() { Release(); }

void OdbcStatement::Release() {
  if (connection_ != nullptr) {
    connection_->Unregister(this);
    connection_ = nullptr;
  }
  if (handle_) {
    SQLFreeStmt(handle_.get(), SQL_CLOSE);
    handle_.reset();
  }
}

SQLHSTMT OdbcStatement::handle() const {
  if (!handle_) throw Error("Operation is not allowed when the object is closed.");
  return handle_.get();
}

void OdbcStatement::Check(SQLRETURN rc, const char* what) const {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) ThrowOdbcError(SQL_HANDLE_STMT, handle(), what);
}

bool OdbcStatement::ExecDirect(const std::string& sql) {
  std::string text = sql;
  return Ran(SendValues(
      SQLExecDirect(handle(), reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size()))));
}

void OdbcStatement::Prepare(const std::string& sql) {
  std::string text = sql;
  Check(SQLPrepare(handle(), reinterpret_cast<SQLCHAR*>(text.data()), static_cast<SQLINTEGER>(text.size())),
        "Preparing the statement");
}

bool OdbcStatement::Execute() { return Ran(SendValues(SQLExecute(handle()))); }

SQLRETURN OdbcStatement::SendValues(SQLRETURN rc) {
  while (rc == SQL_NEED_DATA) {
    SQLPOINTER token = nullptr;
    rc = SQLParamData(handle(), &token);
    if (rc != SQL_NEED_DATA) break;
    const std::string& value = *static_cast<const std::string*>(token);
    for (std::size_t at = 0; at < value.size(); at += ValuePieceBytes) {
      const std::size_t piece = std::min(ValuePieceBytes, value.size() - at);
      const SQLRETURN sent =
          SQLPutData(handle(), const_cast<char*>(value.data() + at), static_cast<SQLLEN>(piece));
      if (sent != SQL_SUCCESS && sent != SQL_SUCCESS_WITH_INFO) {
        // Ends the run, so that the statement can be used again.
        Diagnostics diagnostics = ReadDiagnostics(SQL_HANDLE_STMT, handle());
        SQLCancel(handle());
        if (diagnostics.text.empty()) diagnostics.text = "Sending a value failed without a message from the driver.";
        throw Error(diagnostics.text, diagnostics.firstState);
      }
    }
  }
  return rc;
}

bool OdbcStatement::Ran(SQLRETURN rc) {
  warnings_.clear();
  // A statement that changes nothing ends in SQL_NO_DATA; it is no failure.
  if (rc == SQL_NO_DATA) return false;
  Check(rc, "Running the statement");
  if (rc == SQL_SUCCESS_WITH_INFO) {
    // Class 01 is the warning class (a value truncated, rounded, ...); a
    // server's notices come with other states.
    Diagnostics diagnostics = ReadDiagnostics(SQL_HANDLE_STMT, handle());
    if (diagnostics.firstState.starts_with("01")) warnings_ = std::move(diagnostics.text);
  }
  return true;
}

void OdbcStatement::CloseCursor() { SQLFreeStmt(handle(), SQL_CLOSE); }

void OdbcStatement::ForgetParameters() { SQLFreeStmt(handle(), SQL_RESET_PARAMS); }

void OdbcStatement::LimitWait(int seconds) {
  const auto timeout = static_cast<SQLULEN>(seconds);
  // A driver that cannot limit it waits as long as the database makes it.
  SQLSetStmtAttr(handle(), SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), SQL_IS_UINTEGER);
}

void OdbcStatement::Cancel() {
  // What the driver answers changes nothing: the run's own end says how it went.
  if (handle_) SQLCancel(handle_.get());
}

long OdbcStatement::RowsChanged() const {
  SQLLEN count = 0;
  Check(SQLRowCount(handle(), &count), "Counting the changed rows");
  return static_cast<long>(count);
}

void OdbcStatement::AllTables() {
  Check(SQLTables(handle(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), "Reading the tables");
}

}  // namespace ado

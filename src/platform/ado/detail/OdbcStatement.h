#pragma once

#include <sql.h>

#include <string>

#include "OdbcHandles.h"

namespace ado {

class OdbcConnection;

// A statement handle on an open connection. The connection frees it when it
// closes first; from then on every use raises.
class OdbcStatement {
 public:
  explicit OdbcStatement(OdbcConnection& connection);
  ~OdbcStatement();
  OdbcStatement(const OdbcStatement&) = delete;
  OdbcStatement& operator=(const OdbcStatement&) = delete;

  SQLHSTMT handle() const;
  bool released() const { return !handle_; }
  void Release();

  // Raises with the statement's diagnostics when rc is no success.
  void Check(SQLRETURN rc, const char* what) const;

  // False when a searched UPDATE or DELETE found no row (SQL_NO_DATA).
  // Values bound to be sent when the statement runs (SQL_DATA_AT_EXEC,
  // their buffer address a std::string holding the value) go in pieces.
  bool ExecDirect(const std::string& sql);
  // The same in two steps, for a statement run again and again with other
  // values: parsed once, then run as often as needed.
  void Prepare(const std::string& sql);
  bool Execute();
  // Ends the result of the last run, so that the statement can run again.
  void CloseCursor();
  // Lets go of the values bound to the statement, whose buffers the driver
  // must no longer touch.
  void ForgetParameters();
  // The diagnostics of the last run that succeeded with a warning
  // (a value truncated or converted, say); empty when it simply succeeded.
  const std::string& warnings() const { return warnings_; }
  // How long the statement may wait, for locks held by others among
  // other things, before it is cancelled.
  void LimitWait(int seconds);
  // Asks the driver to end a run in progress on another thread; it then
  // ends in a failure, unless it was done already.
  void Cancel();
  // Rows a searched UPDATE or DELETE changed.
  long RowsChanged() const;

  // The tables of the data source, unrestricted.
  void AllTables();

 private:
  // The end of a run: false for SQL_NO_DATA, the warnings kept.
  bool Ran(SQLRETURN rc);
  // Sends the values the driver asks for while `rc` is SQL_NEED_DATA;
  // returns how the run ended.
  SQLRETURN SendValues(SQLRETURN rc);
  OdbcConnection* connection_;
  StatementHandle handle_;
  std::string warnings_;
};

}  // namespace ado

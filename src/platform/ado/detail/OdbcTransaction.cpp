#include "OdbcTransaction.h"

#include <sqlext.h>

#include "platform/ado/AdoError.h"
#include "OdbcConnection.h"
#include "OdbcDiagnostics.h"

namespace ado {

OdbcTransaction::OdbcTransaction(OdbcConnection& connection)
    : connection_(connection), enabled_(connection.facts().transactions) {}

OdbcTransaction::~OdbcTransaction() {
  if (!ended_) Rollback();
}

void OdbcTransaction::Commit() {
  ended_ = true;
  if (!enabled_) return;
  const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_COMMIT);
  if (SQL_SUCCEEDED(rc)) return;
  Diagnostics diagnostics = ReadDiagnostics(SQL_HANDLE_DBC, connection_.handle());
  SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_ROLLBACK);
  throw Error(diagnostics.text.empty() ? "The change could not be committed." : diagnostics.text,
              diagnostics.firstState);
}

void OdbcTransaction::Rollback() {
  ended_ = true;
  if (enabled_ && connection_.isOpen()) SQLEndTran(SQL_HANDLE_DBC, connection_.handle(), SQL_ROLLBACK);
}

}  // namespace ado

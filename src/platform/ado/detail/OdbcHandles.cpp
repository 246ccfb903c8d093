#include "OdbcHandles.h"

#include <sqlext.h>

#include "platform/ado/AdoError.h"
#include "DriverSetupLibrary.h"
#include "OdbcDiagnostics.h"

namespace ado {

EnvironmentHandle AllocateEnvironment() {
  KeepDriverSetupLibraryLoaded();
  SQLHANDLE handle = SQL_NULL_HANDLE;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle)))
    throw Error("The ODBC environment could not be created.");
  EnvironmentHandle environment(handle);
  const SQLRETURN rc = SQLSetEnvAttr(handle, SQL_ATTR_ODBC_VERSION,
                                     reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  CheckOdbc(rc, SQL_HANDLE_ENV, handle, "Setting the ODBC version");
  return environment;
}

ConnectionHandle AllocateConnection(const EnvironmentHandle& environment) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_DBC, environment.get(), &handle);
  CheckOdbc(rc, SQL_HANDLE_ENV, environment.get(), "Creating an ODBC connection");
  return ConnectionHandle(handle);
}

StatementHandle AllocateStatement(SQLHDBC connection) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, connection, &handle);
  CheckOdbc(rc, SQL_HANDLE_DBC, connection, "Creating an ODBC statement");
  return StatementHandle(handle);
}

}  // namespace ado

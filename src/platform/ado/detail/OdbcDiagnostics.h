#pragma once

#include <sql.h>

#include <string>
#include <string_view>

namespace ado {

// Every diagnostic record of a handle, oldest first.
struct Diagnostics {
  std::string text;       // one line per record: "[state] message (native n)"
  std::string firstState; // SQLSTATE of the first record
};
Diagnostics ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// Raises ado::Error carrying every diagnostic record of the handle; `what`
// names the operation when the driver gave no record at all.
[[noreturn]] void ThrowOdbcError(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what);

// Raises when `rc` is not a success code.
inline void CheckOdbc(SQLRETURN rc, SQLSMALLINT handleType, SQLHANDLE handle,
                      std::string_view what) {
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) ThrowOdbcError(handleType, handle, what);
}

}  // namespace ado

#include "OdbcDiagnostics.h"

#include <sqlext.h>

#include <vector>

#include "platform/ado/AdoError.h"

namespace ado {

Diagnostics ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  Diagnostics result;
  if (handle == SQL_NULL_HANDLE) return result;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::vector<SQLCHAR> message(1024);
    SQLRETURN rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                                 static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
      // The message was cut; ask again with room for all of it.
      message.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRec(handleType, handle, record, state, &native, message.data(),
                         static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    const std::string stateText(reinterpret_cast<const char*>(state));
    if (result.firstState.empty()) result.firstState = stateText;
    if (!result.text.empty()) result.text += '\n';
    result.text += reinterpret_cast<const char*>(message.data());
    result.text += " (SQLSTATE " + stateText + ", native error " + std::to_string(native) + ")";
  }
  return result;
}

void ThrowOdbcError(SQLSMALLINT handleType, SQLHANDLE handle, std::string_view what) {
  Diagnostics diagnostics = ReadDiagnostics(handleType, handle);
  if (diagnostics.text.empty())
    diagnostics.text = std::string(what) + " failed without a message from the driver.";
  throw Error(diagnostics.text, diagnostics.firstState);
}

}  // namespace ado

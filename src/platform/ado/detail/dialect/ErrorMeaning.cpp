#include "platform/ado/ErrorMeaning.h"

#include <string>

#include "platform/ado/AdoError.h"
#include "Dialect.h"

namespace ado {
namespace {

// ODBC's own state of a run ended by SQLCancel.
constexpr const char* CancelledState = "HY008";
constexpr const char* ColumnNotFoundState = "42S22";

template <class Meaning>
bool AnyDialect(const Error& error, Meaning meaning) {
  // An error carries no connection to ask; the states and words of one
  // database do not occur in another's.
  for (const Dialect* dialect : AllDialects())
    if ((dialect->*meaning)(error)) return true;
  return false;
}

}  // namespace

bool IsBusy(const Error& error) {
  // A timeout of the statement (SQL_ATTR_QUERY_TIMEOUT) or of the login.
  const std::string& state = error.sqlState();
  return state == "HYT00" || state == "HYT01" || AnyDialect(error, &Dialect::MeansBusy);
}

bool IsCancelled(const Error& error) { return error.sqlState() == CancelledState; }

bool IsConnectionLost(const Error& error) {
  // Class 08 is the connection exception class; drivers also say it in
  // words of their own.
  const std::string text = error.what();
  return error.sqlState().starts_with("08") || text.find("connection has been lost") != std::string::npos ||
         AnyDialect(error, &Dialect::MeansConnectionLost);
}

bool IsReadEnded(const Error& error) { return IsConnectionLost(error) || AnyDialect(error, &Dialect::MeansReadEnded); }

bool IsTimeLimit(const Error& error) { return AnyDialect(error, &Dialect::MeansTimeLimit); }

Error CancelledError(const char* cause) { return Error(cause, CancelledState); }

bool IsColumnsChanged(const Error& error) {
  // ODBC's "column not found", and each database's own words for it.
  const std::string text = error.what();
  return error.sqlState() == ColumnNotFoundState || error.sqlState() == "42703" ||
         text.find("no such column") != std::string::npos || text.find("has no column named") != std::string::npos ||
         text.find("Unknown column") != std::string::npos;
}

Error ColumnsChangedError() {
  return Error("The result holds other columns than the table had when it was read.", ColumnNotFoundState);
}

}  // namespace ado

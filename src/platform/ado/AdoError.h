#pragma once

#include <stdexcept>
#include <string>

namespace ado {

// A failure of the data-access layer. The description is the complete text
// the driver manager and the driver gave: every diagnostic record, each with
// its SQLSTATE, or our own text for failures found before reaching ODBC.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& description, std::string sqlState = {});
  const std::string& sqlState() const { return sqlState_; }

 private:
  std::string sqlState_;
};

// A read the server ended that could not be taken up again on a fresh
// session. The message says how many rows are shown; no further rows are
// read until the table is read anew.
class ReadCutShort : public Error {
 public:
  using Error::Error;
};

}  // namespace ado

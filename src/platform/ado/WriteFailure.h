#pragma once

#include <optional>
#include <string>

namespace ado {

class Error;

// The texts of a refused cell write, naming the column and the value.
class WriteFailure {
 public:
  WriteFailure(std::string column, const std::optional<std::string>& value);

  // A failure reported by the database (constraints, types, locks).
  [[noreturn]] void Raise(const Error& error) const;
  [[noreturn]] void RaiseChangedOrDeleted(bool rowStillExists) const;
  [[noreturn]] void RaiseSeveral(long rows) const;
  [[noreturn]] void RaiseSeveralWithoutTransactions(long rows) const;
  // The connection went while the change was being committed.
  [[noreturn]] void RaiseOutcomeUnknown(const Error& error) const;

  // Whether the database refused because others hold locks.
  static bool IsBusy(const Error& error);
  // Whether the session is gone (network, server shutdown, session ended).
  static bool IsConnectionLost(const Error& error);

 private:
  std::string Prefix() const;
  std::string column_;
  std::string value_;
};

}  // namespace ado

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/ado/AdoError.h"
#include "StoredRow.h"

namespace ado {

// A write that did not store what was asked, with what the database holds
// for the row now where that is known.
class WriteError : public Error {
 public:
  WriteError(const std::string& message, std::string sqlState, RowNow now)
      : Error(message, std::move(sqlState)), now_(std::move(now)) {}
  const RowNow& now() const { return now_; }
  // Of several rows written as one, the one this is about.
  std::size_t failedRow() const { return failedRow_; }
  void setFailedRow(std::size_t row) { failedRow_ = row; }

 private:
  RowNow now_;
  std::size_t failedRow_ = 0;
};

// The messages of a failed cell write, naming the column and the value.
// Each raises WriteError.
class WriteFailure {
 public:
  WriteFailure(std::string column, const std::optional<std::string>& value);
  // Messages that begin with `prefix` ("Row 3 could not be deleted: ").
  explicit WriteFailure(std::string prefix) : prefix_(std::move(prefix)) {}

  // Where a foreign key refuses the change: what it found missing
  // ("the table "customers" has no row with "id" = 999"; empty: not known).
  void NameMissingReference(std::function<std::string()> find) { missingReference_ = std::move(find); }

  // The database refused the change (or the connection was lost before
  // anything could be committed): nothing was changed.
  [[noreturn]] void Raise(const Error& error, RowNow now = {}) const;
  // The connection was lost while the change may have been committed.
  [[noreturn]] void RaiseOutcomeUnknown(const Error& error, RowNow now = {}) const;
  [[noreturn]] void RaiseChanged(RowNow now) const;
  // The row is there as it was read, but a policy of the table keeps the
  // user from changing it.
  [[noreturn]] void RaiseRowSecurity() const;
  // The row is there as it was read, but a trigger of the table let the
  // change pass without doing it.
  [[noreturn]] void RaiseSkippedByTrigger() const;
  // The row was written, but a trigger of the table kept the old value of
  // the cell (`now`: the row as stored).
  [[noreturn]] void RaiseKeptOldValue(RowNow now) const;
  // The table's columns are no longer those read.
  [[noreturn]] void RaiseColumnsChanged() const;
  [[noreturn]] void RaiseDeleted() const;
  // A table without a key: the row is gone from where it was, changed or
  // deleted, and cannot be found again.
  [[noreturn]] void RaiseChangedOrDeleted() const;
  [[noreturn]] void RaiseSeveral(long rows) const;
  // A data source without transactions changed rows that cannot be undone.
  [[noreturn]] void RaiseSeveralStored(long rows) const;
  // The change was stored, but the database said it altered what was
  // given (`warnings`, its diagnostics): the row shows what it holds.
  [[noreturn]] void RaiseStoredAltered(const std::string& warnings, RowNow now) const;

 private:
  std::string Prefix() const;
  // The row is gone from where it was read; it is shown marked.
  [[noreturn]] void RaiseGone(const std::string& what) const;

  std::string prefix_;
  std::string stored_;  // "The value "xl" of column "size"", where known
  std::function<std::string()> missingReference_;
};

}  // namespace ado

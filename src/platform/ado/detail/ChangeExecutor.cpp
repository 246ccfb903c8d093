#include "ChangeExecutor.h"

#include <exception>

#include "platform/ado/StatementWait.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "OdbcTransaction.h"
#include "RenewableSession.h"
#include "StatementRows.h"
#include "WriteFailure.h"

namespace ado {
namespace {

// MariaDB's driver reports a write that the server warned about (a value
// truncated or converted) as a plain success; the server still has the
// warnings of the session's last statement.
std::string ServerWarnings(OdbcConnection& connection) {
  std::string text;
  for (const TextRow& row : QueryRows(connection, "SHOW WARNINGS"))
    if (row.size() >= 3 && row[2])
      text += (text.empty() ? "" : "\n") + *row[2] + " (" + row[0].value_or("") + " " + row[1].value_or("") + ")";
  return text;
}

// Runs a statement of a write where the thread's write wait lets it run.
// Once the user asked to cancel the write, no further statement starts,
// and a statement that fails (other than by a lost connection) failed by
// the cancel; one that was done already stands.
bool ExecuteWaiting(OdbcStatement& statement) {
  StatementWait* wait = StatementWait::Current();
  if (!wait) return statement.Execute();
  if (wait->cancelRequested()) throw WriteFailure::Cancelled();
  bool any = false;
  std::exception_ptr failure;
  wait->Run(
      [&] {
        try {
          any = statement.Execute();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      [&statement] { statement.Cancel(); });
  if (!failure) return any;
  try {
    std::rethrow_exception(failure);
  } catch (const Error& error) {
    if (!wait->cancelRequested() || RenewableSession::ConnectionLost(error)) throw;
    throw WriteFailure::Cancelled(error.what());
  }
}

}  // namespace

ChangeExecutor::ChangeExecutor(OdbcConnection& writer, std::vector<bool> binaryColumns, std::string settings)
    : writer_(writer), binary_(std::move(binaryColumns)), settings_(std::move(settings)) {}

ChangeExecutor::~ChangeExecutor() = default;

void ChangeExecutor::Begin() {
  session_.clear();
  if (settings_.empty()) return;
  const std::vector<TextRow> rows = QueryRows(writer_, settings_);
  if (!rows.empty() && !rows.front().empty()) session_ = rows.front().front().value_or("");
}

OdbcStatement& ChangeExecutor::Prepared(PlannedStatement& planned, int waitSeconds) {
  auto found = prepared_.find(planned.sql);
  if (found == prepared_.end()) {
    auto statement = std::make_unique<OdbcStatement>(writer_);
    if (waitSeconds > 0) statement->LimitWait(waitSeconds);
    statement->Prepare(planned.sql);
    found = prepared_.emplace(planned.sql, std::move(statement)).first;
  }
  OdbcStatement& statement = *found->second;
  statement.CloseCursor();
  planned.parameters.BindTo(statement);
  return statement;
}

std::vector<StoredRow> ChangeExecutor::Rows(OdbcStatement& statement) {
  std::vector<StoredRow> rows;
  while (auto row = ReadNextRow(statement, binary_)) rows.push_back(std::move(*row));
  return rows;
}

long ChangeExecutor::Run(PlannedStatement& planned, int waitSeconds, std::vector<StoredRow>& returned) {
  OdbcStatement& statement = Prepared(planned, waitSeconds);
  const bool any = ExecuteWaiting(statement);
  warnings_ = statement.warnings();
  if (planned.returnsRows) {
    if (any) returned = Rows(statement);
    statement.CloseCursor();
    return static_cast<long>(returned.size());
  }
  const long changed = any ? statement.RowsChanged() : 0;
  if (warnings_.empty() && writer_.facts().isMariaDb()) {
    statement.CloseCursor();
    warnings_ = ServerWarnings(writer_);
  }
  return changed;
}

Execution ChangeExecutor::Write(PlannedStatement& planned, int waitSeconds) {
  Execution execution;
  if (planned.returnsRows && writer_.autocommit()) {
    // One statement in autocommit: stored when it succeeds, undone by the
    // server when it fails. Its identity lets it reach one row at most.
    try {
      execution.rowsChanged = Run(planned, waitSeconds, execution.returned);
      execution.stored = execution.rowsChanged > 0;
      execution.warnings = warnings_;
    } catch (const Error& error) {
      execution.failure = error;
      // The server may have committed before the answer was lost.
      execution.failedWhileCommitting = true;
    }
    return execution;
  }
  OdbcTransaction transaction(writer_);
  try {
    Begin();
    execution.rowsChanged = Run(planned, waitSeconds, execution.returned);
  } catch (const Error& error) {
    execution.failure = error;
    // Without transactions the statement stood on its own and may be done.
    execution.failedWhileCommitting = !transaction.enabled();
    return execution;
  }
  if (execution.rowsChanged != planned.expectedRows && transaction.enabled()) {
    transaction.Rollback();
    return execution;
  }
  try {
    transaction.Commit();
    execution.stored = execution.rowsChanged > 0;
    execution.warnings = warnings_;
  } catch (const Error& error) {
    execution.failure = error;
    execution.failedWhileCommitting = true;
  }
  return execution;
}

ChangeExecutor::Batch ChangeExecutor::WriteAll(std::vector<PlannedStatement>& planned, int waitSeconds,
                                               std::vector<std::optional<PlannedStatement>>* readBacks) {
  Batch batch;
  // A writer that commits each statement by itself holds off for the batch.
  const bool wasAutocommit = writer_.autocommit();
  if (wasAutocommit) writer_.SetAutocommit(false);
  struct Restore {
    OdbcConnection& writer;
    bool on;
    ~Restore() {
      if (!on || !writer.isOpen()) return;
      try {
        writer.SetAutocommit(true);
      } catch (const Error&) {
      }
    }
  } restore{writer_, wasAutocommit};
  OdbcTransaction transaction(writer_);
  std::size_t index = 0;
  try {
    Begin();
    for (; index < planned.size(); ++index) {
      std::vector<StoredRow> rows;
      batch.execution.rowsChanged = Run(planned[index], waitSeconds, rows);
      if (batch.execution.rowsChanged != planned[index].expectedRows) {
        batch.failedAt = index;
        return batch;  // rolled back by the guard
      }
      // Nothing tells the user which row the database altered once it is
      // stored: all or none holds for that too.
      if (!warnings_.empty()) throw Error(warnings_);
      if (readBacks && index < readBacks->size() && (*readBacks)[index]) rows = Read(*(*readBacks)[index], false);
      batch.rows.push_back(std::move(rows));
    }
  } catch (const Error& error) {
    batch.execution.failure = error;
    batch.failedAt = index < planned.size() ? std::optional<std::size_t>(index) : std::nullopt;
    batch.execution.failedWhileCommitting = !transaction.enabled();
    return batch;
  }
  try {
    transaction.Commit();
    batch.execution.stored = true;
  } catch (const Error& error) {
    batch.execution.failure = error;
    batch.execution.failedWhileCommitting = true;
  }
  return batch;
}

std::vector<StoredRow> ChangeExecutor::Read(PlannedStatement& planned, bool ownTransaction) {
  std::optional<OdbcTransaction> transaction;
  if (ownTransaction) transaction.emplace(writer_);
  OdbcStatement& statement = Prepared(planned, 0);
  std::vector<StoredRow> rows;
  if (statement.Execute()) rows = Rows(statement);
  statement.CloseCursor();
  // Ends the read's transaction, which would hold a lock on some databases.
  if (transaction) transaction->Commit();
  return rows;
}

}  // namespace ado

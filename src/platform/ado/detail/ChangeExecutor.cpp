#include "ChangeExecutor.h"

#include <sqlext.h>

#include <exception>

#include "platform/ado/ErrorMeaning.h"
#include "platform/ado/StatementWait.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "OdbcTransaction.h"
#include "PackedCells.h"
#include "StatementRows.h"

namespace ado {
namespace {

// Runs a statement of a write where the thread's write wait lets it run.
// Once the user asked to cancel the write, no further statement starts,
// and a statement that fails (other than by a lost connection) failed by
// the cancel; one that was done already stands.
bool ExecuteWaiting(OdbcStatement& statement) {
  StatementWait* wait = StatementWait::Current();
  if (!wait) return statement.Execute();
  if (wait->cancelRequested()) throw CancelledError();
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
    if (!wait->cancelRequested() || IsConnectionLost(error)) throw;
    throw CancelledError(error.what());
  }
}

}  // namespace

ChangeExecutor::ChangeExecutor(OdbcConnection& writer, std::vector<bool> binaryColumns, std::string settings,
                               std::string warnings, bool transactional)
    : writer_(writer),
      binary_(std::move(binaryColumns)),
      settings_(std::move(settings)),
      warningsQuery_(std::move(warnings)),
      transactional_(transactional) {}

ChangeExecutor::~ChangeExecutor() = default;

std::string ChangeExecutor::Begin() {
  if (settings_.empty()) return {};
  const std::vector<TextRow> rows = QueryRows(writer_, settings_);
  return rows.empty() || rows.front().empty() ? std::string() : rows.front().front().value_or("");
}

std::string ChangeExecutor::ServerWarnings() {
  // Level, Code, Message.
  std::string text;
  for (const TextRow& row : QueryRows(writer_, warningsQuery_))
    if (row.size() >= 3 && row[2])
      text += (text.empty() ? "" : "\n") + *row[2] + " (" + row[0].value_or("") + " " + row[1].value_or("") + ")";
  return text;
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
  // A column added since the table was read would shift every cell after
  // it, the row's identity too.
  SQLSMALLINT columns = 0;
  statement.Check(SQLNumResultCols(statement.handle(), &columns), "Reading the columns of the result");
  if (static_cast<std::size_t>(columns) > binary_.size()) throw ColumnsChangedError();
  std::vector<StoredRow> rows;
  while (auto row = ReadNextRowUnpacking(statement, binary_, static_cast<std::size_t>(columns)))
    rows.push_back(std::move(*row));
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
  if (warnings_.empty() && !warningsQuery_.empty()) {
    statement.CloseCursor();
    warnings_ = ServerWarnings();
  }
  return changed;
}

Execution ChangeExecutor::Write(std::vector<PlannedStatement>& planned, int waitSeconds,
                                std::vector<std::optional<PlannedStatement>>* readBacks) {
  Execution execution;
  // A writer that commits each statement by itself holds off for the write.
  const bool wasAutocommit = writer_.autocommit() && writer_.facts().transactions;
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
  const bool undoable = transaction.enabled() && transactional_;
  std::size_t index = 0;
  try {
    execution.session = Begin();
    for (; index < planned.size(); ++index) {
      std::vector<StoredRow> rows;
      execution.rowsChanged = Run(planned[index], waitSeconds, rows);
      if (execution.rowsChanged != planned[index].expectedRows) {
        execution.failedAt = index;
        return execution;  // rolled back by the guard
      }
      // Nothing tells the user which row the database altered once it is
      // stored: all or none holds for that too. Without transactions it
      // stands, and is said.
      if (!warnings_.empty() && undoable) throw Error(warnings_);
      if (!warnings_.empty()) execution.warnings += (execution.warnings.empty() ? "" : "\n") + warnings_;
      if (readBacks && index < readBacks->size() && (*readBacks)[index]) rows = Read(*(*readBacks)[index], false);
      execution.rows.push_back(std::move(rows));
    }
  } catch (const Error& error) {
    execution.failure = error;
    execution.failedAt = index < planned.size() ? std::optional<std::size_t>(index) : std::nullopt;
    // Without transactions a statement stands on its own and may be done.
    execution.failedWhileCommitting = !undoable;
    return execution;
  }
  try {
    transaction.Commit();
    execution.stored = true;
  } catch (const Error& error) {
    execution.failure = error;
    execution.failedWhileCommitting = true;
  }
  return execution;
}

std::vector<StoredRow> ChangeExecutor::Read(PlannedStatement& planned, bool ownTransaction) {
  std::optional<OdbcTransaction> transaction;
  if (ownTransaction) transaction.emplace(writer_);
  OdbcStatement& statement = Prepared(planned, 0);
  std::vector<StoredRow> rows;
  if (statement.Execute()) rows = planned.tableRows ? Rows(statement) : ReadAllRows(statement);
  statement.CloseCursor();
  // Ends the read's transaction, which would hold a lock on some databases.
  if (transaction) transaction->Commit();
  return rows;
}

}  // namespace ado

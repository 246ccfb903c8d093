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

ChangeExecutor::ChangeExecutor(OdbcConnection& writer, std::vector<bool> binaryColumns, std::string settings,
                               std::string warnings, bool transactional, bool keepStatements)
    : writer_(writer),
      binary_(std::move(binaryColumns)),
      settings_(std::move(settings)),
      warningsQuery_(std::move(warnings)),
      transactional_(transactional),
      keepStatements_(keepStatements) {}

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
    // Kept from write to write, the statements of texts that vary (a
    // delete of many rows at once) are let go now and then.
    if (prepared_.size() >= MostPrepared) prepared_.clear();
    auto statement = std::make_unique<OdbcStatement>(writer_);
    if (waitSeconds > 0) statement->LimitWait(waitSeconds);
    statement->Prepare(planned.sql);
    found = prepared_.emplace(planned.sql, std::move(statement)).first;
  }
  OdbcStatement& statement = *found->second;
  statement.CloseCursor();
  // The values of its last run may be gone: bound afresh.
  statement.ForgetParameters();
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
  // A statement that runs once and is not kept is sent with its values in
  // one go: prepared, it would cost a round trip more to let it go.
  std::unique_ptr<OdbcStatement> once;
  if (!keepStatements_ && runsOnce_.contains(planned.sql)) {
    once = std::make_unique<OdbcStatement>(writer_);
    if (waitSeconds > 0) once->LimitWait(waitSeconds);
    planned.parameters.BindTo(*once);
  }
  OdbcStatement& statement = once ? *once : Prepared(planned, waitSeconds);
  const bool any = Execute(statement, once ? &planned.sql : nullptr);
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

bool ChangeExecutor::Execute(OdbcStatement& statement, const std::string* directly) {
  const auto run = [&] { return directly ? statement.ExecDirect(*directly) : statement.Execute(); };
  if (!wait_) return run();
  // Once the user asked to cancel the write, no further statement starts,
  // and a statement that fails (other than by a lost connection) failed by
  // the cancel; one that was done already stands.
  if (wait_->cancelRequested()) throw CancelledError();
  {
    const std::lock_guard lock(runningGuard_);
    running_ = &statement;
  }
  struct Ended {
    ChangeExecutor& executor;
    ~Ended() {
      const std::lock_guard lock(executor.runningGuard_);
      executor.running_ = nullptr;
    }
  } ended{*this};
  try {
    return run();
  } catch (const Error& error) {
    if (!wait_->cancelRequested() || IsConnectionLost(error)) throw;
    throw CancelledError(error.what());
  }
}

void ChangeExecutor::CancelRunning() {
  const std::lock_guard lock(runningGuard_);
  if (running_) running_->Cancel();
}

Execution ChangeExecutor::Write(std::vector<PlannedStatement>& planned, int waitSeconds,
                                std::vector<std::optional<PlannedStatement>>* readBacks) {
  StatementWait* wait = StatementWait::Current();
  if (!wait) return WriteHere(planned, waitSeconds, readBacks);
  // The whole write runs on the wait's thread, its statements one after
  // another there: a thread for each statement would cost a write of many
  // rows more than its statements.
  Execution execution;
  std::exception_ptr failure;
  wait_ = wait;
  wait->Run(
      [&] {
        try {
          execution = WriteHere(planned, waitSeconds, readBacks);
        } catch (...) {
          failure = std::current_exception();
        }
      },
      [this] { CancelRunning(); });
  wait_ = nullptr;
  if (failure) std::rethrow_exception(failure);
  return execution;
}

Execution ChangeExecutor::WriteHere(std::vector<PlannedStatement>& planned, int waitSeconds,
                                    std::vector<std::optional<PlannedStatement>>* readBacks) {
  Execution execution;
  std::map<std::string_view, int> uses;
  for (const PlannedStatement& statement : planned) ++uses[statement.sql];
  runsOnce_.clear();
  for (const auto& [sql, count] : uses)
    if (count == 1) runsOnce_.emplace(sql);
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

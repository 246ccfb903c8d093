#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/ado/AdoError.h"
#include "PlannedStatement.h"
#include "StoredRow.h"

namespace ado {

class OdbcConnection;
class OdbcStatement;
class StatementWait;

// What running the statements of a write did.
struct Execution {
  // Committed (without transactions: every statement done).
  bool stored = false;
  // The database's refusal, a cancel or a lost connection.
  std::optional<Error> failure;
  // The failure came while the write may have been committed (or, without
  // transactions, while a statement may have been done).
  bool failedWhileCommitting = false;
  // The statement that was refused or changed other than its expected rows;
  // nothing is stored then (without transactions: what was done stands).
  std::optional<std::size_t> failedAt;
  long rowsChanged = 0;  // by that statement, or the last one
  // Per statement: the rows it handed back or its read-back found.
  std::vector<std::vector<StoredRow>> rows;
  // Stored, but the database warned that it did not store everything as
  // given (only without transactions: otherwise the write is undone).
  std::string warnings;
  // What the settings query named the write's transaction by; empty
  // without one, or where it did not answer (nothing reached the server).
  std::string session;
};

// Runs planned statements on a writer connection as one write: all in one
// transaction, committed only when each changed exactly its expected rows
// and the database stored each as given.
class ChangeExecutor {
 public:
  // `settings`, where given, is a query run first in each write's
  // transaction: it sets what the write needs for that transaction alone
  // and answers with what names the transaction. `warnings`, where given,
  // asks the server for the warnings of a statement its driver reported as
  // a plain success. Without `transactional` (a table that keeps no
  // transactions) a statement done stands, whatever follows. With
  // `keepStatements` the statements it prepares serve every later write.
  ChangeExecutor(OdbcConnection& writer, std::vector<bool> binaryColumns, std::string settings = {},
                 std::string warnings = {}, bool transactional = true, bool keepStatements = false);
  ~ChangeExecutor();
  ChangeExecutor(const ChangeExecutor&) = delete;
  ChangeExecutor& operator=(const ChangeExecutor&) = delete;

  // `readBacks`, where given, has one entry per statement, read in the
  // write's transaction right after it.
  Execution Write(std::vector<PlannedStatement>& planned, int waitSeconds,
                  std::vector<std::optional<PlannedStatement>>* readBacks = nullptr);
  // The rows a planned read finds, read in a transaction of their own.
  std::vector<StoredRow> Read(PlannedStatement& planned, bool ownTransaction = true);

 private:
  // The write itself, on the thread that runs its statements.
  Execution WriteHere(std::vector<PlannedStatement>& planned, int waitSeconds,
                      std::vector<std::optional<PlannedStatement>>* readBacks);
  // Runs a statement of the write, which the user may cancel.
  // `directly`: the statement's text, sent with its values in one go.
  bool Execute(OdbcStatement& statement, const std::string* directly = nullptr);
  // Ends the wait of the statement running, if one is (from another
  // thread).
  void CancelRunning();
  // Runs the settings query at the start of a write's transaction.
  std::string Begin();
  std::vector<StoredRow> Rows(OdbcStatement& statement);
  // Runs one planned statement; returns the rows it changed (those it
  // handed back, for one that returns rows).
  long Run(PlannedStatement& planned, int waitSeconds, std::vector<StoredRow>& returned);
  // The statement for the text, parsed once for all the writes that share
  // it, its values bound.
  OdbcStatement& Prepared(PlannedStatement& planned, int waitSeconds);
  std::string ServerWarnings();

  std::string warnings_;  // of the last Run

  OdbcConnection& writer_;
  std::vector<bool> binary_;
  std::string settings_;
  std::string warningsQuery_;
  bool transactional_;
  bool keepStatements_;
  // The texts the write in progress runs once.
  std::set<std::string, std::less<>> runsOnce_;
  static constexpr std::size_t MostPrepared = 64;
  std::map<std::string, std::unique_ptr<OdbcStatement>> prepared_;
  // Where the write in progress waits; nullptr where it runs in place.
  StatementWait* wait_ = nullptr;
  std::mutex runningGuard_;
  OdbcStatement* running_ = nullptr;
};

}  // namespace ado

#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ado/AdoError.h"
#include "ChangePlanner.h"

namespace ado {

class OdbcConnection;
class OdbcStatement;

// What running a planned write did.
struct Execution {
  long rowsChanged = 0;
  std::vector<StoredRow> returned;  // rows handed back by RETURNING
  bool stored = false;              // committed (or, without transactions, done)
  std::optional<Error> failure;     // the database's refusal or a lost connection
  bool failedWhileCommitting = false;
  std::string warnings;             // what the database said of a stored write
};

// Runs planned statements on a writer connection. A write runs in a
// transaction of its own (unless it is one self-committing statement that
// hands its rows back, on a writer in autocommit), committed only when
// exactly the expected rows changed, rolled back otherwise.
class ChangeExecutor {
 public:
  // `settings`, where given, is a query run first in each write's
  // transaction: it sets what the write needs for that transaction alone
  // and answers with what names the transaction (see session()).
  ChangeExecutor(OdbcConnection& writer, std::vector<bool> binaryColumns, std::string settings = {});
  ~ChangeExecutor();
  ChangeExecutor(const ChangeExecutor&) = delete;
  ChangeExecutor& operator=(const ChangeExecutor&) = delete;

  Execution Write(PlannedStatement& planned, int waitSeconds);
  // Several writes as one: all in one transaction, committed only when each
  // changed exactly its expected rows and the database stored each as given
  // (a write it warned about fails with the warnings). `readBacks`, where given, has one
  // entry per write, read in that transaction right after it. `failedAt`
  // names the write that was refused or changed other than expected;
  // nothing is stored then. `rows` has, per write, the rows it handed back
  // or its read-back found.
  struct Batch {
    Execution execution;
    std::optional<std::size_t> failedAt;
    std::vector<std::vector<StoredRow>> rows;
  };
  Batch WriteAll(std::vector<PlannedStatement>& planned, int waitSeconds,
                 std::vector<std::optional<PlannedStatement>>* readBacks = nullptr);
  // The rows a planned read finds, read in a transaction of their own.
  std::vector<StoredRow> Read(PlannedStatement& planned, bool ownTransaction = true);
  // What the settings query of the last write answered in its first
  // column; empty without one.
  const std::string& session() const { return session_; }

 private:
  // Runs the settings query at the start of a write's transaction.
  void Begin();
  std::vector<StoredRow> Rows(OdbcStatement& statement);
  // Runs one planned statement; returns the rows it changed (those it
  // handed back, for one that returns rows).
  long Run(PlannedStatement& planned, int waitSeconds, std::vector<StoredRow>& returned);
  // The statement for the text, parsed once for all the writes of a batch
  // that share it, its values bound; false when a searched UPDATE or DELETE
  // found no row.
  OdbcStatement& Prepared(PlannedStatement& planned, int waitSeconds);

  std::string warnings_;  // of the last Run

  OdbcConnection& writer_;
  std::vector<bool> binary_;
  std::string settings_;
  std::string session_;
  std::map<std::string, std::unique_ptr<OdbcStatement>> prepared_;
};

}  // namespace ado

#include "ChangeVerifier.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/ado/AdoError.h"
#include "ChangeExecutor.h"
#include "OdbcConnection.h"
#include "OdbcStatement.h"
#include "StatementRows.h"

namespace ado {
const std::vector<std::pair<int, std::string>>& ChangeVerifier::PostgresKey(OdbcConnection& connection,
                                                                            const StoredRow& row) {
  if (postgresKey_) return *postgresKey_;
  std::vector<std::pair<int, std::string>> key;
  const std::size_t hidden = read_.quotedColumns.size();
  if (hidden < row.size() && row[hidden]) {
    // The primary key's columns in key order, with their exact types.
    const auto rows = QueryRows(connection,
                            "SELECT a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_index i "
                            "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey) "
                            "WHERE i.indrelid = CAST(? AS oid) AND i.indisprimary "
                            "ORDER BY array_position(i.indkey::int2[], a.attnum)",
                            {PostgresTupleOf(read_, row, hidden).tableOid});
    for (const TextRow& found : rows) {
      if (found.size() < 2 || !found[0] || !found[1]) continue;
      int column = -1;
      for (std::size_t index = 0; index < read_.quotedColumns.size(); ++index)
        if (read_.quotedColumns[index] == connection.facts().Quote(*found[0])) column = static_cast<int>(index);
      if (column < 0) {
        key.clear();
        break;
      }
      key.emplace_back(column, *found[1]);
    }
  }
  postgresKey_ = std::move(key);
  return *postgresKey_;
}

bool ChangeVerifier::NullInKey(const StoredRow& row) const {
  // SQLite lets a primary key other than INTEGER PRIMARY KEY hold NULL, in
  // any number of rows: such a key names no row.
  if (read_.identity == TableRead::Identity::SqliteRowid && read_.rowidColumn) return false;
  return std::ranges::any_of(read_.key, [&](int column) { return !row[static_cast<std::size_t>(column)]; });
}

ChangeVerifier::Found ChangeVerifier::FindAgain(OdbcConnection& connection, ChangeExecutor& executor,
                                                const StoredRow& original, const std::optional<CellChange>& change) {
  // A row no longer as it was read is found again only by its key: a
  // physical address (rowid without a key, ctid) may have been handed to
  // another row meanwhile. Without a key it cannot be told whether the row
  // was changed or deleted.
  Found found;
  std::optional<PlannedStatement> planned;
  if (read_.identity == TableRead::Identity::PostgresTuple)
    planned = planner_.ReadRowByKey(original, PostgresKey(connection, original));
  else if (planner_.CanFindAgain() && !NullInKey(original))
    planned = planner_.ReadRow(original, change);
  if (!planned) return found;
  std::vector<StoredRow> rows = executor.Read(*planned);
  if (rows.size() > 1) return found;
  found.fate = rows.empty() ? Fate::Deleted : Fate::Present;
  if (!rows.empty()) found.row = std::move(rows.front());
  return found;
}

bool ChangeVerifier::StillAsRead(ChangeExecutor& executor, const StoredRow& original) const {
  if (read_.identity != TableRead::Identity::PostgresTuple) return false;
  PlannedStatement sameVersion = planner_.ReadRowVersion(original);
  return executor.Read(sameVersion).size() == 1;
}

std::pair<ChangeVerifier::Settled, std::optional<StoredRow>> ChangeVerifier::SettleLostWrite(
    OdbcConnection& connection, ChangeExecutor& executor, const std::string& oldSession, const StoredRow& original,
    const CellChange& change) {
  // Until the old transaction is over it may still commit the write (it
  // may be waiting for a lock), so nothing read before then would be the
  // truth. It is named by its server process and its start: behind a
  // connection pooler the process serves other clients once the
  // transaction is over, and is then left alone.
  const std::size_t space = oldSession.find(' ');
  if (space == std::string::npos) return {Settled::Unknown, std::nullopt};
  const std::vector<std::string> transaction{oldSession.substr(0, space), oldSession.substr(space + 1)};
  const std::string same = "pid = CAST(? AS integer) AND extract(epoch FROM xact_start) = CAST(? AS numeric)";
  QueryRows(connection, "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE " + same, transaction);
  bool gone = false;
  for (int attempt = 0; attempt < 50 && !gone; ++attempt) {
    const auto rows = QueryRows(connection, "SELECT count(*) FROM pg_stat_activity WHERE " + same, transaction);
    gone = !rows.empty() && rows[0][0] == std::optional<std::string>("0");
    if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!gone) return {Settled::Unknown, std::nullopt};
  PlannedStatement sameVersion = planner_.ReadRowVersion(original);
  std::vector<StoredRow> unchanged = executor.Read(sameVersion);
  if (unchanged.size() == 1) return {Settled::NotStored, unchanged.front()};
  const Found now = FindAgain(connection, executor, original);
  const auto column = static_cast<std::size_t>(change.column);
  if (now.row && (*now.row)[column] == change.value) return {Settled::Stored, now.row};
  return {Settled::Unknown, now.row};
}

}  // namespace ado

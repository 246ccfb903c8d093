#include "ChangeVerifier.h"

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "ChangeExecutor.h"
#include "OdbcConnection.h"

namespace ado {

ChangeVerifier::Found ChangeVerifier::FindAgain(OdbcConnection& connection, ChangeExecutor& executor,
                                                const StoredRow& original, const std::optional<CellChange>& change) {
  // A row no longer as it was read is found again only by what the table
  // says names it: a physical address (a rowid that is no key, a ctid) may
  // have been handed to another row meanwhile. Without it, it cannot be
  // told whether the row was changed or deleted.
  Found found;
  std::optional<PlannedStatement> planned =
      planner_.dialect().FindAgain(connection, planner_.shape(), original, change);
  if (!planned) return found;
  std::vector<StoredRow> rows = executor.Read(*planned);
  if (rows.size() > 1) return found;
  found.fate = rows.empty() ? Fate::Deleted : Fate::Present;
  if (!rows.empty()) found.row = std::move(rows.front());
  return found;
}

bool ChangeVerifier::StillAsRead(ChangeExecutor& executor, const StoredRow& original) const {
  std::optional<PlannedStatement> sameVersion = planner_.dialect().SameVersion(planner_.shape(), original);
  return sameVersion && executor.Read(*sameVersion).size() == 1;
}

ChangeVerifier::Settlement ChangeVerifier::SettleLostWrite(OdbcConnection& connection, ChangeExecutor& executor,
                                                           const std::string& session, const LostWrite& write) {
  Settlement settlement;
  // Until the old transaction is over it may still commit the write (it
  // may be waiting for a lock), so nothing read before then is the truth.
  if (!planner_.dialect().EndSession(connection, session)) return settlement;
  for (std::size_t index = 0; index < write.originals.size(); ++index) {
    std::optional<PlannedStatement> sameVersion =
        planner_.dialect().SameVersion(planner_.shape(), write.originals[index]);
    if (!sameVersion) return settlement;
    std::vector<StoredRow> unchanged = executor.Read(*sameVersion);
    if (unchanged.size() == 1) {
      settlement.settled = Settled::NotStored;
      settlement.rows = {std::move(unchanged.front())};
      settlement.at = index;
      return settlement;
    }
  }
  // New rows and deleted ones leave nothing to tell ours from someone
  // else's write by.
  if (write.adds || write.changes.empty() || write.changes.size() != write.originals.size()) return settlement;
  std::vector<StoredRow> now;
  for (std::size_t index = 0; index < write.changes.size(); ++index) {
    const Found found = FindAgain(connection, executor, write.originals[index]);
    if (!found.row) return settlement;
    const auto holds = [&](const CellChange& change) {
      return found.row->at(static_cast<std::size_t>(change.column)) == change.value;
    };
    if (!std::ranges::all_of(write.changes[index], holds)) {
      // Not known; the row shows what the database holds.
      settlement.rows = {*found.row};
      settlement.at = index;
      return settlement;
    }
    now.push_back(*found.row);
  }
  settlement.settled = Settled::Stored;
  settlement.rows = std::move(now);
  return settlement;
}

}  // namespace ado

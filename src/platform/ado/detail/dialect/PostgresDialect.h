#pragma once

#include "Dialect.h"

namespace ado {

// PostgreSQL through psqlODBC. A row is named by its physical address and
// version (ctid, xmin; tableoid where tables inherit or partitions hold
// the rows), which any change of it renews; a write hands the stored row
// back (RETURNING). Lock waits are limited by the server, per transaction,
// so that a pooled session keeps nothing.
class PostgresDialect final : public Dialect {
 public:
  void Learn(const std::string& connectionString, DataSourceFacts& facts) const override;
  void ListOwnTables(OdbcStatement& statement) const override;

  void PlanRead(OdbcConnection& connection, TableRead& read) const override;
  std::vector<int> IdentityCells(const TableRead& read, int visible) const override;
  std::vector<int> OrderKeyCells(const TableRead& read, int visible) const override;

  std::string Contains(const std::string& column, const std::string& escape) const override;
  std::string Holds(const TableRead& read, const RowView::ValueFilter& filter,
                    BoundParameters& parameters) const override;
  std::vector<std::string> TieBreakers(const TableRead& read, const std::string& sorted) const override;
  bool NullsSortFirst() const override { return false; }

  bool ReadsOnByKeys(const TableRead& read) const override;
  std::string KeyValue(const TableRead& read, std::size_t key, const std::string& value,
                       BoundParameters& parameters) const override;
  bool SkipsOnKeyIndex() const override { return true; }
  std::string EstimateQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  std::string ForeignKeysQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  std::string RowEffectsQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  std::size_t SortedFirstRows() const override { return 1000; }

  std::string WriteSettings(int waitSeconds) const override;
  // A failed statement of a write ends the write's transaction at once
  // (nothing of a write that failed is kept), where the driver would set a
  // savepoint before every statement, a round trip each, to keep the rest.
  std::string WriterOptions() const override { return "Protocol=7.4-1"; }
  int StatementWaitSeconds(int) const override { return 0; }
  WritePermissions AskPermissions(OdbcConnection& connection, const TableRead& read,
                                  const std::vector<ColumnInfo>& columns) const override;
  std::string WriteTarget(const WriteShape& shape, const StoredRow& row) const override;
  std::string RowMatch(const WriteShape& shape, const StoredRow& row, const std::optional<CellChange>& change,
                       BoundParameters& parameters, bool forWrite) const override;
  std::string StillAsRead(const WriteShape&, const StoredRow&, const std::vector<int>&,
                          BoundParameters&) const override {
    return {};  // the version in the row's match says it all
  }
  std::string Returning(const TableRead& read) const override;
  std::optional<PlannedStatement> ReadInserted(const WriteShape&, const std::vector<CellChange>&) const override {
    return std::nullopt;  // the insert hands it back
  }
  std::optional<PlannedStatement> DeleteAtOnce(const WriteShape& shape,
                                               const std::vector<StoredRow>& originals) const override;
  std::string ColumnReadOnlyReason(const WriteShape&, int) const override { return {}; }
  std::string ColumnsAsRead(const TableRead& read, BoundParameters& parameters) const override;
  bool ColumnsCheckedInEveryWrite() const override { return true; }

  std::optional<PlannedStatement> FindAgain(OdbcConnection& connection, const WriteShape& shape,
                                            const StoredRow& original,
                                            const std::optional<CellChange>& change) const override;
  bool RowsCarryVersions(const TableRead& read) const override;
  std::optional<PlannedStatement> SameVersion(const WriteShape& shape, const StoredRow& original) const override;
  bool CountsChangedRows(const TableRead&) const override { return false; }
  bool EndSession(OdbcConnection& connection, const std::string& session) const override;

  bool MeansBusy(const Error& error) const override;
  bool MeansConnectionLost(const Error& error) const override;
  bool MeansReadEnded(const Error& error) const override;
  bool MeansTimeLimit(const Error& error) const override;
};

}  // namespace ado

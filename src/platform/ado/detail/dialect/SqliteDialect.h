#pragma once

#include "Dialect.h"

namespace ado {

// SQLite through its ODBC driver. Rows carry no version: a row is named by
// its rowid (a WITHOUT ROWID table: its primary key) and must still hold
// every value exactly as read, each in its storage class (see the storage
// marks of SqliteTableRead.cpp). The driver steps through one statement of
// a connection at a time, and an unfinished read keeps writers out.
class SqliteDialect final : public Dialect {
 public:
  void Learn(const std::string& connectionString, DataSourceFacts& facts) const override;
  void CheckReadable(OdbcConnection& connection) const override;
  void ListOwnTables(OdbcStatement& statement) const override;

  void PlanRead(OdbcConnection& connection, TableRead& read) const override;
  std::vector<int> IdentityCells(const TableRead& read, int visible) const override;
  std::vector<int> OrderKeyCells(const TableRead& read, int visible) const override;
  std::optional<std::string> ExactText(const TableRead& read, std::string_view marks, int column) const override;
  CellChange ExactCell(const TableRead& read, const ColumnInfo& column, const StoredRow& row,
                       int index) const override;

  std::string Contains(const std::string& column, const std::string& escape) const override;
  std::string Holds(const TableRead& read, const RowView::ValueFilter& filter,
                    BoundParameters& parameters) const override;
  std::vector<std::string> TieBreakers(const TableRead& read, const std::string& sorted) const override;
  std::optional<std::string> SortedQuery(const TableRead& read, const std::string& where,
                                         const std::vector<std::string>& order, std::size_t rows,
                                         std::size_t skip) const override;

  bool ReadsOnByKeys(const TableRead& read) const override;
  std::string KeyValue(const TableRead& read, std::size_t key, const std::string& value,
                       BoundParameters& parameters) const override;
  std::string EstimateQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  std::string ForeignKeysQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  std::string RowEffectsQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  bool OrderKeyIsInteger(const TableRead& read, const ColumnInfo& cell) const override;
  // OFFSET only after a LIMIT.
  std::string SkipOnly(std::size_t rows) const override { return " LIMIT -1 OFFSET " + std::to_string(rows); }

  std::string DatabaseFile(OdbcConnection& connection) const override;
  std::string OthersCommitMarkQuery() const override { return "PRAGMA data_version"; }
  WritePermissions AskPermissions(OdbcConnection& connection, const TableRead& read,
                                  const std::vector<ColumnInfo>& columns) const override;
  std::string RowMatch(const WriteShape& shape, const StoredRow& row, const std::optional<CellChange>& change,
                       BoundParameters& parameters, bool forWrite) const override;
  std::string StillAsRead(const WriteShape& shape, const StoredRow& original, const std::vector<int>& changed,
                          BoundParameters& parameters) const override;
  std::string ValueSlot(const WriteShape& shape, const CellChange& change) const override;
  void BindValue(const WriteShape& shape, const CellChange& change, BoundParameters& parameters) const override;
  std::optional<PlannedStatement> ReadInserted(const WriteShape& shape,
                                               const std::vector<CellChange>& cells) const override;
  std::string ColumnReadOnlyReason(const WriteShape&, int) const override { return {}; }
  std::string ColumnsAsRead(const TableRead& read, BoundParameters& parameters) const override;
  bool ColumnsCheckedInEveryWrite() const override { return true; }
  std::optional<PlannedStatement> FindAgain(OdbcConnection& connection, const WriteShape& shape,
                                            const StoredRow& original,
                                            const std::optional<CellChange>& change) const override;
  bool CountsChangedRows(const TableRead&) const override { return false; }

  bool MeansBusy(const Error& error) const override;
  bool StatementsOutliveWrites() const override { return true; }
};

}  // namespace ado

#pragma once

#include "Dialect.h"

namespace ado {

// MariaDB and MySQL through Connector/ODBC. Rows are named by the primary
// key, else a unique key over columns that cannot hold NULL, and must still
// hold every value that compares exactly; the columns and how each compares
// come from information_schema.
class MariaDbDialect final : public Dialect {
 public:
  void Learn(const std::string& connectionString, DataSourceFacts& facts) const override;
  std::string ConnectionString(const std::string& given) const override;
  void ListOwnTables(OdbcStatement& statement) const override;
  void PlanRead(OdbcConnection& connection, TableRead& read) const override;
  // OFFSET only after a LIMIT.
  std::string SkipOnly(std::size_t rows) const override {
    return " LIMIT 18446744073709551615 OFFSET " + std::to_string(rows);
  }
  bool ReadsOnByKeys(const TableRead& read) const override;
  std::string KeyValue(const TableRead& read, std::size_t key, const std::string& value,
                       BoundParameters& parameters) const override;
  std::string EstimateQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  std::string ForeignKeysQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  std::string RowEffectsQuery(const TableRead& read, std::vector<std::string>& parameters) const override;
  // Connector/ODBC reads a whole result before the first row (a million
  // rows: two seconds and 280 MB): a block first.
  std::size_t FirstRows() const override { return 256; }

  void SetUpWriter(OdbcConnection& writer) const override;
  std::string WarningsQuery() const override { return "SHOW WARNINGS"; }
  bool StatementsOutliveWrites() const override { return true; }
  std::optional<PlannedStatement> ReadInserted(const WriteShape& shape,
                                               const std::vector<CellChange>& cells) const override;

  std::string ColumnsAsRead(const TableRead& read, BoundParameters& parameters) const override;

  bool MeansBusy(const Error& error) const override;
  bool MeansTimeLimit(const Error& error) const override;
};

}  // namespace ado

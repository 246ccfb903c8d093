#include "WritePlan.h"

#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "CatalogQuery.h"
#include "DataSourceOptions.h"
#include "Identifier.h"
#include "OdbcConnection.h"

namespace ado {
namespace {

bool SameText(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string ColumnName(const ColumnInfo& column) { return column.baseColumn.empty() ? column.name : column.baseColumn; }

std::optional<int> ResultColumn(const std::vector<ColumnInfo>& columns, const std::string& name) {
  for (std::size_t index = 0; index < columns.size(); ++index)
    if (ColumnName(columns[index]) == name) return static_cast<int>(index);
  return std::nullopt;
}

// Result columns of the named table columns, or nothing when one is missing.
std::optional<std::vector<int>> ResultColumns(const std::vector<ColumnInfo>& columns,
                                              const std::vector<std::string>& names) {
  std::vector<int> found;
  for (const std::string& name : names) {
    auto index = ResultColumn(columns, name);
    if (!index) return std::nullopt;
    found.push_back(*index);
  }
  if (found.empty()) return std::nullopt;
  return found;
}

std::optional<std::vector<int>> PrimaryKey(OdbcConnection& connection, const std::string& schema,
                                           const std::string& table, const std::vector<ColumnInfo>& columns) {
  // COLUMN_NAME is column 4, KEY_SEQ column 5.
  std::map<int, std::string> ordered;
  for (const auto& row : PrimaryKeyColumns(connection, schema, table))
    if (row.size() >= 5 && row[3] && row[4]) ordered[std::stoi(*row[4])] = *row[3];
  std::vector<std::string> names;
  for (const auto& [sequence, name] : ordered) names.push_back(name);
  return ResultColumns(columns, names);
}

std::optional<std::vector<int>> UniqueNotNullIndex(OdbcConnection& connection, const std::string& schema,
                                                   const std::string& table, const std::vector<ColumnInfo>& columns) {
  // NON_UNIQUE 4, INDEX_NAME 6, TYPE 7, ORDINAL_POSITION 8, COLUMN_NAME 9.
  std::map<std::string, std::map<int, std::string>> indexes;
  for (const auto& row : UniqueIndexColumns(connection, schema, table)) {
    if (row.size() < 9 || !row[5] || !row[8] || !row[7]) continue;
    if (row[6] && std::stoi(*row[6]) == SQL_TABLE_STAT) continue;
    if (row[3] && std::stoi(*row[3]) != SQL_FALSE) continue;
    indexes[*row[5]][std::stoi(*row[7])] = *row[8];
  }
  if (indexes.empty()) return std::nullopt;
  // Some drivers describe every result column as nullable; the table's own
  // column definitions tell NOT NULL reliably.
  std::set<std::string> notNull;
  for (const auto& row : TableColumns(connection, schema, table))
    if (row.size() >= 11 && row[3] && row[10] && std::stoi(*row[10]) == SQL_NO_NULLS) notNull.insert(*row[3]);
  for (const ColumnInfo& column : columns)
    if (!column.nullable) notNull.insert(ColumnName(column));
  for (const auto& [indexName, ordered] : indexes) {
    std::vector<std::string> names;
    for (const auto& [position, name] : ordered) names.push_back(name);
    auto found = ResultColumns(columns, names);
    if (found && std::ranges::all_of(names, [&](const std::string& name) { return notNull.contains(name); }))
      return found;
  }
  return std::nullopt;
}

}  // namespace

bool IsInexact(const ColumnInfo& column) {
  return column.sqlType == SQL_REAL || column.sqlType == SQL_FLOAT || column.sqlType == SQL_DOUBLE;
}

std::string TableOfQuery(const std::string& query) {
  constexpr std::string_view prefix = "SELECT * FROM \"";
  if (query.size() < prefix.size() + 1 || !SameText(std::string_view(query).substr(0, prefix.size()), prefix) ||
      query.back() != '"')
    return {};
  const std::string_view quoted = std::string_view(query).substr(prefix.size(), query.size() - prefix.size() - 1);
  std::string name;
  for (std::size_t at = 0; at < quoted.size(); ++at) {
    if (quoted[at] == '"') {
      // Only a doubled quote may stand inside the name.
      if (at + 1 >= quoted.size() || quoted[at + 1] != '"') return {};
      ++at;
    }
    name += quoted[at];
  }
  return name;
}

WritePlan PlanWrites(OdbcConnection& connection, const std::vector<ColumnInfo>& columns, const std::string& query) {
  WritePlan plan;
  plan.transactionsDisabled = TransactionsDisabled(connection.connectionString());
  std::string table;
  std::string schema;
  if (!columns.empty() && std::ranges::all_of(columns, [&](const ColumnInfo& column) {
        return !column.baseTable.empty() && column.baseTable == columns.front().baseTable &&
               column.baseSchema == columns.front().baseSchema;
      })) {
    table = columns.front().baseTable;
    schema = columns.front().baseSchema;
  } else {
    table = TableOfQuery(query);
  }
  if (table.empty()) {
    plan.unavailable = "The rows do not come from one known table, so changes cannot be written back.";
    return plan;
  }
  plan.table = schema.empty() ? QuoteIdentifier(table) : QuoteIdentifier(schema) + "." + QuoteIdentifier(table);
  for (const ColumnInfo& column : columns) plan.columns.push_back(QuoteIdentifier(ColumnName(column)));

  // A driver that cannot tell keys or indexes leaves the next way to try.
  std::optional<std::vector<int>> key;
  std::optional<std::vector<int>> index;
  try {
    key = PrimaryKey(connection, schema, table, columns);
  } catch (const std::exception&) {
  }
  try {
    if (!key) index = UniqueNotNullIndex(connection, schema, table, columns);
  } catch (const std::exception&) {
  }
  if (key) {
    plan.identity = *key;
    plan.kind = WritePlan::Identity::PrimaryKey;
  } else if (index) {
    plan.identity = *index;
    plan.kind = WritePlan::Identity::UniqueIndex;
  } else {
    for (std::size_t index = 0; index < columns.size(); ++index)
      if (!IsInexact(columns[index])) plan.identity.push_back(static_cast<int>(index));
    plan.kind = WritePlan::Identity::AllValues;
    if (plan.identity.empty())
      plan.unavailable =
          "The table has no primary key or unique index and no column that can be compared exactly, so a row "
          "cannot be found again to change it.";
  }
  return plan;
}

}  // namespace ado

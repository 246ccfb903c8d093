#include "ForeignKeyCatalogue.h"

#include <sqlext.h>

#include "platform/ado/AdoError.h"
#include "platform/ado/Identifier.h"
#include "dialect/Dialect.h"
#include "OdbcStatement.h"
#include "StatementRows.h"
#include "TableRead.h"

namespace ado {
namespace {

SQLCHAR* Text(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

// Rows of (key, column, referenced schema, referenced table, referenced
// column, value marker), a key's columns one after another in its order.
std::vector<TextRow> DriverForeignKeys(OdbcConnection& connection, const TableRead& read) {
  OdbcStatement statement(connection);
  std::string table = read.tableName;
  statement.Check(SQLForeignKeys(statement.handle(), nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                 Text(table), static_cast<SQLSMALLINT>(table.size())),
                  "Reading the foreign keys");
  // PKTABLE_SCHEM 2, PKTABLE_NAME 3, PKCOLUMN_NAME 4, FKTABLE_NAME 7,
  // FKCOLUMN_NAME 8, KEY_SEQ 9, FK_NAME 12.
  std::vector<TextRow> rows;
  for (TextRow& row : ReadAllRows(statement)) {
    if (row.size() < 12 || row[6] != read.tableName) continue;
    rows.push_back({row[11] ? row[11] : row[2], row[7], row[1], row[2], row[3], std::nullopt});
  }
  return rows;
}

}  // namespace

std::vector<ForeignKey> LearnForeignKeys(OdbcConnection& connection, const TableRead& read) {
  const char quote = read.quotedTable.empty() ? '"' : read.quotedTable.front();
  std::vector<std::string> parameters;
  const std::string sql = read.dialect->ForeignKeysQuery(read, parameters);
  std::vector<TextRow> rows;
  try {
    rows = sql.empty() ? DriverForeignKeys(connection, read) : QueryRows(connection, sql, parameters);
  } catch (const Error&) {
    // The keys only help: a driver that cannot name them opens the table
    // without them.
    return {};
  }
  std::vector<ForeignKey> keys;
  std::optional<std::string> current;
  for (const TextRow& row : rows) {
    if (row.size() < 6 || !row[1] || !row[3] || !row[4]) continue;
    if (keys.empty() || row[0] != current) {
      current = row[0];
      ForeignKey key;
      key.name = row[0].value_or("");
      key.referencedTable = *row[3];
      key.quotedReferencedTable = (row[2] && !row[2]->empty() ? QuoteIdentifier(*row[2], quote) + "." : "") +
                                  QuoteIdentifier(*row[3], quote);
      keys.push_back(std::move(key));
    }
    ForeignKey& key = keys.back();
    key.columnNames.push_back(*row[1]);
    key.columns.push_back(-1);
    key.referencedColumns.push_back(*row[4]);
    key.valueMarkers.push_back(row[5] ? "CAST(? AS " + *row[5] + ")" : "?");
  }
  return keys;
}

}  // namespace ado

#include "CatalogQuery.h"

#include <sqlext.h>

#include "OdbcStatement.h"
#include "StatementRows.h"

namespace ado {
namespace {

SQLCHAR* Text(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

// SQLColumns takes the table name as a search pattern, where "_" and "%"
// are wildcards ("t_1" also finds "tx1"), and some drivers treat the names
// of the other catalogue functions alike. Only rows of the table itself
// count: TABLE_SCHEM and TABLE_NAME are columns 2 and 3 of every one.
CatalogRows OnlyTable(CatalogRows rows, const std::string& schema, const std::string& table) {
  std::erase_if(rows, [&](const auto& row) {
    return row.size() < 3 || row[2] != table || (!schema.empty() && row[1] && *row[1] != schema);
  });
  return rows;
}

}  // namespace

CatalogRows PrimaryKeyColumns(OdbcConnection& connection, const std::string& schema, const std::string& table) {
  OdbcStatement statement(connection);
  std::string schemaText = schema, tableText = table;
  statement.Check(SQLPrimaryKeys(statement.handle(), nullptr, 0, schema.empty() ? nullptr : Text(schemaText),
                                 static_cast<SQLSMALLINT>(schemaText.size()), Text(tableText),
                                 static_cast<SQLSMALLINT>(tableText.size())),
                  "Reading the primary key");
  return OnlyTable(ReadAllRows(statement), schema, table);
}

CatalogRows TableColumns(OdbcConnection& connection, const std::string& schema, const std::string& table) {
  OdbcStatement statement(connection);
  std::string schemaText = schema, tableText = table;
  statement.Check(SQLColumns(statement.handle(), nullptr, 0, schema.empty() ? nullptr : Text(schemaText),
                             static_cast<SQLSMALLINT>(schemaText.size()), Text(tableText),
                             static_cast<SQLSMALLINT>(tableText.size()), nullptr, 0),
                  "Reading the columns of the table");
  return OnlyTable(ReadAllRows(statement), schema, table);
}

CatalogRows UniqueIndexColumns(OdbcConnection& connection, const std::string& schema, const std::string& table) {
  OdbcStatement statement(connection);
  std::string schemaText = schema, tableText = table;
  statement.Check(SQLStatistics(statement.handle(), nullptr, 0, schema.empty() ? nullptr : Text(schemaText),
                                static_cast<SQLSMALLINT>(schemaText.size()), Text(tableText),
                                static_cast<SQLSMALLINT>(tableText.size()), SQL_INDEX_UNIQUE, SQL_QUICK),
                  "Reading the unique indexes");
  return OnlyTable(ReadAllRows(statement), schema, table);
}

}  // namespace ado

#include "CatalogQuery.h"

#include <sqlext.h>

#include "OdbcStatement.h"
#include "StatementRows.h"

namespace ado {
namespace {

SQLCHAR* Text(std::string& text) { return reinterpret_cast<SQLCHAR*>(text.data()); }

}  // namespace

CatalogRows PrimaryKeyColumns(OdbcConnection& connection, const std::string& schema, const std::string& table) {
  OdbcStatement statement(connection);
  std::string schemaText = schema, tableText = table;
  statement.Check(SQLPrimaryKeys(statement.handle(), nullptr, 0, schema.empty() ? nullptr : Text(schemaText),
                                 static_cast<SQLSMALLINT>(schemaText.size()), Text(tableText),
                                 static_cast<SQLSMALLINT>(tableText.size())),
                  "Reading the primary key");
  return ReadAllRows(statement);
}

CatalogRows TableColumns(OdbcConnection& connection, const std::string& schema, const std::string& table) {
  OdbcStatement statement(connection);
  std::string schemaText = schema, tableText = table;
  statement.Check(SQLColumns(statement.handle(), nullptr, 0, schema.empty() ? nullptr : Text(schemaText),
                             static_cast<SQLSMALLINT>(schemaText.size()), Text(tableText),
                             static_cast<SQLSMALLINT>(tableText.size()), nullptr, 0),
                  "Reading the columns of the table");
  return ReadAllRows(statement);
}

CatalogRows UniqueIndexColumns(OdbcConnection& connection, const std::string& schema, const std::string& table) {
  OdbcStatement statement(connection);
  std::string schemaText = schema, tableText = table;
  statement.Check(SQLStatistics(statement.handle(), nullptr, 0, schema.empty() ? nullptr : Text(schemaText),
                                static_cast<SQLSMALLINT>(schemaText.size()), Text(tableText),
                                static_cast<SQLSMALLINT>(tableText.size()), SQL_INDEX_UNIQUE, SQL_QUICK),
                  "Reading the unique indexes");
  return ReadAllRows(statement);
}

}  // namespace ado

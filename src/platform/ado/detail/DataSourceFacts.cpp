#include "DataSourceFacts.h"

#include <sqlext.h>

#include <algorithm>
#include <cctype>

#include "DataSourceOptions.h"
#include "OdbcConnection.h"
#include "platform/ado/Identifier.h"
#include "SqlText.h"

namespace ado {
namespace {

std::string TextInfo(SQLHDBC connection, SQLUSMALLINT item) {
  SQLCHAR text[256] = {};
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetInfo(connection, item, text, sizeof text, &length))) return {};
  return reinterpret_cast<const char*>(text);
}

}  // namespace

std::string DataSourceFacts::Quote(std::string_view name) const { return QuoteIdentifier(name, identifierQuote); }

DataSourceFacts LearnDataSourceFacts(const OdbcConnection& connection) {
  DataSourceFacts facts;
  const SQLHDBC handle = connection.handle();
  facts.dbmsName = TextInfo(handle, SQL_DBMS_NAME);
  facts.driverName = TextInfo(handle, SQL_DRIVER_NAME);
  const std::string dbms = Lower(facts.dbmsName);
  if (dbms == "postgresql")
    facts.dbms = DataSourceFacts::Dbms::PostgreSql;
  else if (dbms == "mariadb" || dbms == "mysql")
    facts.dbms = DataSourceFacts::Dbms::MariaDb;
  else if (dbms.find("sqlite") != std::string::npos || Lower(facts.driverName).find("sqlite") != std::string::npos)
    facts.dbms = DataSourceFacts::Dbms::Sqlite;

  // A blank means the data source cannot quote identifiers: the standard
  // quote is as good a guess as any.
  const std::string quote = TextInfo(handle, SQL_IDENTIFIER_QUOTE_CHAR);
  if (quote.size() == 1 && quote[0] != ' ') facts.identifierQuote = quote[0];

  SQLUINTEGER extensions = 0;  // a 32-bit mask
  if (SQL_SUCCEEDED(SQLGetInfo(handle, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
    facts.blockGetData = (extensions & SQL_GD_BLOCK) != 0;
  // MariaDB's driver claims SQL_GD_BLOCK, but SQLGetData on a row of a
  // block after SQLSetPos reads something else than that row's cell.
  if (facts.isMariaDb()) facts.blockGetData = false;
  SQLUSMALLINT transactionSupport = SQL_TC_ALL;
  if (SQL_SUCCEEDED(SQLGetInfo(handle, SQL_TXN_CAPABLE, &transactionSupport, sizeof transactionSupport, nullptr)) &&
      transactionSupport == SQL_TC_NONE)
    facts.transactions = false;
  if (TransactionsDisabled(connection.connectionString())) facts.transactions = false;
  facts.readerBlocksWriters = facts.isSqlite();
  facts.returning = facts.isPostgreSql();
  return facts;
}

}  // namespace ado

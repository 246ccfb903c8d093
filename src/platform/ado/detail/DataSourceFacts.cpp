#include "DataSourceFacts.h"

#include <sqlext.h>

#include "DataSourceOptions.h"
#include "dialect/Dialect.h"
#include "OdbcConnection.h"
#include "platform/ado/Identifier.h"

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
  facts.dialect = &ChooseDialect(facts.dbmsName, facts.driverName);

  // A blank means the data source cannot quote identifiers: the standard
  // quote is as good a guess as any.
  const std::string quote = TextInfo(handle, SQL_IDENTIFIER_QUOTE_CHAR);
  if (quote.size() == 1 && quote[0] != ' ') facts.identifierQuote = quote[0];

  SQLUINTEGER extensions = 0;  // a 32-bit mask
  if (SQL_SUCCEEDED(SQLGetInfo(handle, SQL_GETDATA_EXTENSIONS, &extensions, sizeof extensions, nullptr)))
    facts.blockGetData = (extensions & SQL_GD_BLOCK) != 0;
  SQLUSMALLINT transactionSupport = SQL_TC_ALL;
  if (SQL_SUCCEEDED(SQLGetInfo(handle, SQL_TXN_CAPABLE, &transactionSupport, sizeof transactionSupport, nullptr)) &&
      transactionSupport == SQL_TC_NONE)
    facts.transactions = false;
  if (TransactionsDisabled(connection.connectionString())) facts.transactions = false;
  facts.dialect->Learn(connection.connectionString(), facts);
  return facts;
}

}  // namespace ado

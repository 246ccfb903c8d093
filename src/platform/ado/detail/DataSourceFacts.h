#pragma once

#include <string>
#include <string_view>

namespace ado {

class Dialect;
class OdbcConnection;

// What the rest of this layer needs to know about a data source, learned
// once when a connection opens: the dialect of its database, and what the
// driver and the connection string say. Nothing else reads the connection
// string again.
struct DataSourceFacts {
  // Never null once learned.
  const Dialect* dialect = nullptr;
  std::string dbmsName;
  std::string driverName;
  // False when the data source ignores transactions (the SQLite driver's
  // NoTXN option, or a driver that offers none).
  bool transactions = true;
  // SQLGetData works on any row of a block (after SQLSetPos).
  bool blockGetData = false;
  // An unfinished read keeps a lock that a second connection's commit
  // would wait for in vain (SQLite in rollback-journal mode).
  bool readerBlocksWriters = false;
  // The driver steps through one statement of a connection at a time and
  // reads any other whole as it is executed.
  bool oneStatementAtATime = false;
  // The driver reads through a cursor that holds a transaction open until
  // the read is closed.
  bool cursorHoldsTransaction = false;
  // The data source opens its database read-only (a URI's mode=ro or
  // immutable=1).
  bool opensReadOnly = false;
  // What identifiers are quoted with (SQL_IDENTIFIER_QUOTE_CHAR); the
  // standard double quote where the driver names none.
  char identifierQuote = '"';

  std::string Quote(std::string_view name) const;
};

DataSourceFacts LearnDataSourceFacts(const OdbcConnection& connection);

}  // namespace ado

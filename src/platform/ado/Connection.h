#pragma once

#include <memory>
#include <string>

namespace ado {

class Recordset;
class OdbcConnection;

enum CursorLocation { adUseServer = 2, adUseClient = 3 };
enum SchemaKind { adSchemaTables = 20 };

// A connection to an ODBC data source, shared-owned: releasing the last
// reference closes it. Only the "MSDASQL" provider (ODBC data sources) is
// known; any other provider makes Open fail.
class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void setProvider(const std::string& provider);
  const std::string& provider() const { return provider_; }

  void setCursorLocation(int location);
  int cursorLocation() const { return cursorLocation_; }

  // "Data Source=<name>" selects the data source; every other keyword goes
  // to the driver as it stands. Never prompts.
  void Open(const std::string& connectionString);
  void Close();
  bool isOpen() const;
  // Reads from the database itself, which opening a file-based data source
  // does not do: raises Error when the database cannot be read (not a
  // database, locked by another program, unreadable).
  void CheckReadable();

  // Schema 20: the tables rowset, with the columns TABLE_CATALOG,
  // TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE and REMARKS: the tables that an
  // unqualified name opens (see ListOwnTables).
  std::shared_ptr<Recordset> OpenSchema(int schema);

  // What the open data source quotes identifiers with (see
  // QuoteIdentifier).
  char IdentifierQuote() const;

  // The open ODBC connection, for the recordsets of this layer.
  OdbcConnection& odbc();

 private:
  std::string provider_;
  int cursorLocation_ = adUseServer;
  std::unique_ptr<OdbcConnection> odbc_;
};

using ConnectionPtr = std::shared_ptr<Connection>;

// Creating the object is a step of its own: it can fail when the ODBC
// environment cannot be set up.
ConnectionPtr CreateConnection();

}  // namespace ado

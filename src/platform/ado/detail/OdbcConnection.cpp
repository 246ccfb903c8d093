#include "OdbcConnection.h"

#include <sqlext.h>

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "platform/ado/StatementWait.h"
#include "dialect/Dialect.h"
#include "OdbcDiagnostics.h"
#include "OdbcStatement.h"

namespace ado {

OdbcConnection::OdbcConnection()
    : OdbcConnection(std::make_shared<EnvironmentHandle>(AllocateEnvironment())) {}

OdbcConnection::OdbcConnection(std::shared_ptr<EnvironmentHandle> environment)
    : environment_(std::move(environment)), connection_(AllocateConnection(*environment_)) {}

OdbcConnection::~OdbcConnection() { Close(); }

void OdbcConnection::Connect(const std::string& odbcConnectionString) {
  SQLCHAR completed[1024] = {};
  SQLSMALLINT completedLength = 0;
  std::string text = odbcConnectionString;
  SQLRETURN rc = SQL_ERROR;
  const auto connect = [&] {
    rc = SQLDriverConnect(connection_.get(), nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                          static_cast<SQLSMALLINT>(text.size()), completed, sizeof completed, &completedLength,
                          SQL_DRIVER_NOPROMPT);
  };
  // A driver may read the database to connect (SQLite's sets its pragmas),
  // and wait for another program's lock on it: where the thread has a
  // wait, the window turns meanwhile. A connect cannot be cancelled; the
  // wait's cancel stops what comes after it.
  if (StatementWait* wait = StatementWait::Current())
    wait->Run(connect, [] {});
  else
    connect();
  CheckOdbc(rc, SQL_HANDLE_DBC, connection_.get(), "Connecting to the data source");
  open_ = true;
  connectionString_ = odbcConnectionString;
  facts_ = LearnDataSourceFacts(*this);
}

void OdbcConnection::Open(const std::string& odbcConnectionString) {
  if (open_) throw Error("Operation is not allowed when the object is open.");
  Connect(odbcConnectionString);
  // Which database it is shows only once connected; its dialect may want
  // the driver told more.
  const std::string amended = facts_.dialect->ConnectionString(odbcConnectionString);
  if (amended == odbcConnectionString) return;
  Close();
  Connect(amended);
}

void OdbcConnection::Close() {
  for (OdbcStatement* statement : std::vector<OdbcStatement*>(statements_)) statement->Release();
  statements_.clear();
  if (open_) {
    open_ = false;
    SQLDisconnect(connection_.get());
  }
}

SQLHDBC OdbcConnection::handle() const {
  if (!open_) throw Error("Operation is not allowed when the object is closed.");
  return connection_.get();
}

void OdbcConnection::SetAutocommit(bool on) {
  const auto value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  CheckOdbc(SQLSetConnectAttr(handle(), SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), SQL_IS_UINTEGER),
            SQL_HANDLE_DBC, handle(), "Setting the transaction mode");
  autocommit_ = on;
}

std::unique_ptr<OdbcConnection> OdbcConnection::OpenAnother(const std::string& options) const {
  auto other = std::make_unique<OdbcConnection>(environment_);
  std::string connectionString = connectionString_;
  if (!options.empty()) {
    if (!connectionString.empty() && !connectionString.ends_with(';')) connectionString += ';';
    connectionString += options;
  }
  other->Open(connectionString);
  return other;
}

void OdbcConnection::Register(OdbcStatement* statement) { statements_.push_back(statement); }

void OdbcConnection::Unregister(OdbcStatement* statement) { std::erase(statements_, statement); }

}  // namespace ado

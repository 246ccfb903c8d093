#include "Connection.h"

#include <sqlext.h>

#include <algorithm>
#include <cctype>

#include "AdoError.h"
#include "ConnectionString.h"
#include "CreationFailure.h"
#include "detail/OdbcConnection.h"
#include "detail/OdbcStatement.h"
#include "detail/WaitedRead.h"
#include "detail/dialect/Dialect.h"
#include "Recordset.h"

namespace ado {
namespace {

bool IsOdbcProvider(const std::string& provider) {
  std::string upper = provider;
  std::ranges::transform(upper, upper.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  // No provider set means the default one, which is the ODBC provider.
  return upper.empty() || upper == "MSDASQL" || upper == "MSDASQL.1";
}

}  // namespace

Connection::Connection() : provider_("MSDASQL"), odbc_(std::make_unique<OdbcConnection>()) {}

Connection::~Connection() = default;

void Connection::setProvider(const std::string& provider) {
  if (isOpen()) throw Error("Operation is not allowed when the object is open.");
  provider_ = provider;
}

void Connection::setCursorLocation(int location) {
  if (location != adUseServer && location != adUseClient)
    throw Error("Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.");
  cursorLocation_ = location;
}

void Connection::Open(const std::string& connectionString) {
  if (!IsOdbcProvider(provider_))
    throw Error("Provider cannot be found. It may not be properly installed. (Provider \"" + provider_ +
                "\"; only MSDASQL, the provider for ODBC data sources, is available.)");
  odbc_->Open(OdbcConnectionString(connectionString));
}

void Connection::Close() {
  if (!isOpen()) throw Error("Operation is not allowed when the object is closed.");
  odbc_->Close();
}

bool Connection::isOpen() const { return odbc_->isOpen(); }

void Connection::CheckReadable() {
  if (!isOpen()) throw Error("Operation is not allowed when the object is closed.");
  odbc_->facts().dialect->CheckReadable(*odbc_);
}

std::shared_ptr<Recordset> Connection::OpenSchema(int schema) {
  if (!isOpen()) throw Error("Operation is not allowed when the object is closed.");
  if (schema != adSchemaTables)
    throw Error("Object or provider is not capable of performing requested operation. (schema " +
                std::to_string(schema) + ")");
  auto statement = std::make_unique<OdbcStatement>(*odbc_);
  // A database another program holds locked keeps the list waiting for
  // the lock: where the thread has a wait, the window turns meanwhile.
  // Its first rows are there only once the database sorted the names,
  // which takes long for many tables: they are read in the wait too.
  auto recordset = std::make_shared<Recordset>();
  OdbcStatement& listing = *statement;
  RunWaitedRead(listing, [&] {
    odbc_->facts().dialect->ListOwnTables(listing);
    recordset->OpenResult(std::move(statement), shared_from_this(),
                          {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE", "REMARKS"});
    recordset->Eof();
  }, "The tables were not listed: you stopped the wait for the database's lock.");
  return recordset;
}

char Connection::IdentifierQuote() const {
  if (!isOpen()) throw Error("Operation is not allowed when the object is closed.");
  return odbc_->facts().identifierQuote;
}

OdbcConnection& Connection::odbc() { return *odbc_; }

ConnectionPtr CreateConnection() {
  if (const auto& failure = testing::CreationFailure())
    throw Error(*failure);
  return std::make_shared<Connection>();
}

}  // namespace ado

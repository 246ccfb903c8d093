#pragma once

#include <sql.h>

#include <memory>
#include <string>
#include <vector>

#include "DataSourceFacts.h"
#include "OdbcHandles.h"

namespace ado {

class OdbcStatement;

// One ODBC connection handle with its environment. Statements register
// themselves so that closing the connection frees them first: the driver
// manager would free them itself on disconnect and leave our owners with
// dangling handles.
class OdbcConnection {
 public:
  OdbcConnection();
  ~OdbcConnection();
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  // Connects with an ODBC connection string, never prompting.
  void Open(const std::string& odbcConnectionString);
  void Close();
  bool isOpen() const { return open_; }

  SQLHDBC handle() const;
  const std::string& connectionString() const { return connectionString_; }
  // Learned when the connection opened.
  const DataSourceFacts& facts() const { return facts_; }

  // Autocommit on (each statement commits by itself) or off (statements
  // run in a transaction until SQLEndTran).
  void SetAutocommit(bool on);
  bool autocommit() const { return autocommit_; }

  // A second, independent connection to the same data source; `options`
  // (keyword=value pairs) are given to its driver over the data source's.
  std::unique_ptr<OdbcConnection> OpenAnother(const std::string& options = {}) const;

  void Register(OdbcStatement* statement);
  void Unregister(OdbcStatement* statement);

 // A connection on an environment already set up (see OpenAnother).
  explicit OdbcConnection(std::shared_ptr<EnvironmentHandle> environment);

 private:
  void Connect(const std::string& odbcConnectionString);

  std::shared_ptr<EnvironmentHandle> environment_;
  ConnectionHandle connection_;
  bool open_ = false;
  bool autocommit_ = true;
  DataSourceFacts facts_;
  std::string connectionString_;
  std::vector<OdbcStatement*> statements_;
};

}  // namespace ado

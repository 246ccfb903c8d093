#pragma once

#include <functional>
#include <string>

#include "platform/ado/Connection.h"

namespace db {

// Where the data source name comes from: the connection page supplies a
// reader of its text box, so that every opening uses the text it holds at
// that moment.
void SetDataSourceNameReader(std::function<std::string()> reader);
std::string CurrentDataSourceName();

// "Data Source=" followed by the name, verbatim.
std::string ConnectionStringFor(const std::string& dataSourceName);

// The one way a connection is opened: Provider "MSDASQL", then Open with the
// connection string of the current data source name. Raises on failure.
void OpenDataSourceConnection(ado::Connection& connection);

}  // namespace db

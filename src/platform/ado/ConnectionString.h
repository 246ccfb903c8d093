#pragma once

#include <string>

namespace ado {

// Turns a connection string of this layer ("Data Source=<name>" and any
// further keywords) into the string the ODBC driver manager takes
// ("DSN=<name>" followed by the further keywords as they stand). The name is
// passed exactly as written, blanks included. Raises ado::Error when no data
// source is named.
std::string OdbcConnectionString(const std::string& connectionString);

}  // namespace ado

#pragma once

#include <string>
#include <vector>

namespace ado {

// The names of the data sources that the driver manager knows, the user's
// and the system's, sorted and each once. Raises ado::Error when the ODBC
// environment cannot be created.
std::vector<std::string> DataSourceNames();

}  // namespace ado

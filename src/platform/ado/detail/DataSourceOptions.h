#pragma once

#include <string>

namespace ado {

// Whether the data source is set up to ignore transactions (the SQLite3
// driver's NoTXN option), in the connection string or in the data source's
// definition. Drivers report transaction support regardless of it.
bool TransactionsDisabled(const std::string& odbcConnectionString);

}  // namespace ado

#pragma once

#include <optional>
#include <string>

namespace ado {

// Whether the driver option is set and on ("1", "yes", "on", "true").
bool DataSourceOptionOn(const std::string& odbcConnectionString, const std::string& keyword);

// Whether the data source is set up to ignore transactions (the SQLite3
// driver's NoTXN option), in the connection string or in the data source's
// definition. Drivers report transaction support regardless of it.
bool TransactionsDisabled(const std::string& odbcConnectionString);

// The value of a driver option, from the connection string or else from the
// definition of the data source it names; std::nullopt where neither sets
// it.
std::optional<std::string> DataSourceOption(const std::string& odbcConnectionString, const std::string& keyword);

// The connection string with what makes a MariaDB/MySQL driver count the
// rows an UPDATE matched rather than those it changed (a value written
// over with itself counts), unless the user's connection string or data
// source sets the driver's options itself.
std::string WithFoundRows(const std::string& odbcConnectionString);

}  // namespace ado

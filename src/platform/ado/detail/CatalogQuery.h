#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ado {

class OdbcConnection;

// The rows of a catalogue function, every column read as text (small
// results: keys and indexes of one table).
using CatalogRows = std::vector<std::vector<std::optional<std::string>>>;

CatalogRows PrimaryKeyColumns(OdbcConnection& connection, const std::string& schema, const std::string& table);
// SQLColumns of the table: the column definitions (NULLABLE is column 11).
CatalogRows TableColumns(OdbcConnection& connection, const std::string& schema, const std::string& table);
CatalogRows UniqueIndexColumns(OdbcConnection& connection, const std::string& schema, const std::string& table);

}  // namespace ado

#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ado {

class OdbcConnection;
class OdbcStatement;

using TextRow = std::vector<std::optional<std::string>>;

// Reads every remaining row of the statement, each column as text (binary
// columns as their raw bytes), one value at a time with SQLGetData.
std::vector<TextRow> ReadAllRows(OdbcStatement& statement);

// Runs a query of our own (catalogue and session questions, never the
// user's values in the text) with text parameters, and reads every row.
std::vector<TextRow> QueryRows(OdbcConnection& connection, const std::string& sql,
                               const std::vector<std::string>& parameters = {});

// Reads the next row only; std::nullopt at the end.
std::optional<TextRow> ReadNextRow(OdbcStatement& statement, const std::vector<bool>& binaryColumns);

}  // namespace ado

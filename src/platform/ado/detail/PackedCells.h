#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ado {

// A result may hold no more columns than the database allows, though a
// table may: SQLite's tables and results both stop at 2,000 columns, and the
// hidden columns that find each row again come on top of the table's own.
// The cells past what fits then travel in one last text column, each as
// its storage class's first letter and its bytes in hexadecimal ("n" for
// NULL), separated by commas, and are unpacked as the rows arrive.

// The SQL of that one column, over the cells' expressions.
std::string PackedCellsExpression(const std::vector<std::string>& cells);

// The cells as the driver would have handed them over one by one: text
// up to its first NUL byte; a BLOB as its bytes in a binary column, else
// as the text X'...'. `binary` has one entry per packed cell. Raises Error
// on anything else.
std::vector<std::optional<std::string>> UnpackCells(std::string_view packed, const std::vector<bool>& binary);

class OdbcStatement;

// The next row of a statement whose result has `resultColumns` columns,
// one value at a time (see ReadNextRow); where that is fewer than
// `binary` has cells, the last column holds the rest packed.
std::optional<std::vector<std::optional<std::string>>> ReadNextRowUnpacking(OdbcStatement& statement,
                                                                           const std::vector<bool>& binary,
                                                                           std::size_t resultColumns);

}  // namespace ado

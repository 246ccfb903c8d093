#pragma once

#include <string>
#include <vector>

namespace ado {

// A foreign key of the table read: its columns, and the table and columns
// they reference, in the key's order.
struct ForeignKey {
  std::string name;                      // as the database names it; may be empty
  std::vector<std::string> columnNames;  // of the table read
  std::vector<int> columns;              // their visible columns (-1: not among them)
  std::string referencedTable;           // its own name
  std::string quotedReferencedTable;     // as a statement names it (with its schema, where it has one)
  std::vector<std::string> referencedColumns;
  // Per referenced column, what a bound text is compared as ("?", or a
  // cast to the column's type where the database needs it).
  std::vector<std::string> valueMarkers;

  bool composite() const { return columnNames.size() > 1; }
};

}  // namespace ado

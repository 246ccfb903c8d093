#pragma once

#include <optional>
#include <string>

namespace ado {

// What the table's catalogue says of a column beyond its type: whether it
// is part of the primary key, and the default the database gives a new row
// (as the database spells it, e.g. "0", "'new'", "nextval('t_id_seq'::regclass)").
struct ColumnNotes {
  bool inPrimaryKey = false;
  std::optional<std::string> defaultValue;
};

}  // namespace ado

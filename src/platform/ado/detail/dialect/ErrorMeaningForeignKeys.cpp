// What tells a foreign key's refusal: the standard state where the driver
// gives it, else each database's own words.
#include <string>

#include "platform/ado/AdoError.h"
#include "platform/ado/ErrorMeaning.h"

namespace ado {

bool IsForeignKeyViolation(const Error& error) {
  const std::string text = error.what();
  // PostgreSQL: 23503. SQLite's driver says HY000 with SQLite's words;
  // MariaDB's says 23000 (any integrity constraint) with its own.
  return error.sqlState() == "23503" || text.find("FOREIGN KEY constraint failed") != std::string::npos ||
         text.find("a foreign key constraint fails") != std::string::npos;
}

}  // namespace ado

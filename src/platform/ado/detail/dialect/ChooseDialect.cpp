// Which dialect a connection speaks, by what its driver says of the
// database: one line per database.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "../SqlText.h"
#include "Dialect.h"
#include "MariaDbDialect.h"
#include "OtherDialect.h"
#include "PostgresDialect.h"
#include "SqliteDialect.h"

namespace ado {
namespace {

struct Known {
  std::shared_ptr<const Dialect> dialect;
  // SQL_DBMS_NAME as the driver gives it, in lower case.
  std::vector<std::string> dbmsNames;
  // Else a word of the database's or the driver's name.
  std::string inName;
};

const std::vector<Known>& KnownDialects() {
  static const std::vector<Known> known = {
      {std::make_shared<PostgresDialect>(), {"postgresql"}, {}},
      {std::make_shared<MariaDbDialect>(), {"mariadb", "mysql"}, {}},
      {std::make_shared<SqliteDialect>(), {}, "sqlite"},
  };
  return known;
}

const OtherDialect& Other() {
  static const OtherDialect other;
  return other;
}

}  // namespace

const Dialect& ChooseDialect(const std::string& dbmsName, const std::string& driverName) {
  const std::string dbms = Lower(dbmsName);
  const std::string driver = Lower(driverName);
  for (const Known& known : KnownDialects()) {
    if (std::ranges::find(known.dbmsNames, dbms) != known.dbmsNames.end()) return *known.dialect;
    if (!known.inName.empty() &&
        (dbms.find(known.inName) != std::string::npos || driver.find(known.inName) != std::string::npos))
      return *known.dialect;
  }
  return Other();
}

const std::vector<const Dialect*>& AllDialects() {
  static const std::vector<const Dialect*> all = [] {
    std::vector<const Dialect*> dialects;
    for (const Known& known : KnownDialects()) dialects.push_back(known.dialect.get());
    dialects.push_back(&Other());
    return dialects;
  }();
  return all;
}

}  // namespace ado

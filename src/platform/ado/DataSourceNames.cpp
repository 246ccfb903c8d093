#include "platform/ado/DataSourceNames.h"

#include <sqlext.h>

#include <algorithm>

#include "detail/OdbcHandles.h"

namespace ado {

std::vector<std::string> DataSourceNames() {
  const EnvironmentHandle environment = AllocateEnvironment();
  std::vector<std::string> names;
  // SQL_MAX_DSN_LENGTH is 32; the driver manager allows longer names.
  SQLCHAR name[256];
  SQLSMALLINT nameLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;  // user and system data sources
  while (SQL_SUCCEEDED(SQLDataSources(environment.get(), direction, name, sizeof name, &nameLength,
                                      nullptr, 0, nullptr))) {
    direction = SQL_FETCH_NEXT;
    // A name longer than the buffer comes cut short; it is left out.
    if (nameLength < static_cast<SQLSMALLINT>(sizeof name))
      names.emplace_back(reinterpret_cast<const char*>(name), static_cast<size_t>(nameLength));
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

}  // namespace ado

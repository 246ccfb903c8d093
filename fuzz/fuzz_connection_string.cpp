// The data source name is typed by the user and goes into the connection
// string as it stands: any text must give a driver manager string that
// names a data source, or a clean failure.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ado/AdoError.h"
#include "platform/ado/ConnectionString.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string typed(reinterpret_cast<const char*>(data), size);
  for (const std::string& given : {typed, "Data Source=" + typed}) {
    try {
      const std::string odbc = ado::OdbcConnectionString(given);
      if (odbc.rfind("DSN=", 0) != 0 || odbc.size() <= 4) __builtin_trap();
    } catch (const ado::Error&) {
    }
  }
  return 0;
}

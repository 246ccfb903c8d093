#pragma once

#include <sql.h>

#include <functional>
#include <string_view>

namespace ado {

class OdbcStatement;

// Reads a value of the current row with SQLGetData, whatever its length,
// handing it to `append` in pieces; false when it is NULL. The first piece
// goes through `first`; where the driver tells how much is left, the rest
// comes in one more call. Some drivers convert the whole value anew for
// every call (SQLite's driver does for a BLOB read as text), so a long
// value read in many small pieces would cost its length each time.
bool ReadLongValue(OdbcStatement& statement, SQLUSMALLINT column, SQLSMALLINT cType, char* first,
                   std::size_t firstSize, const std::function<void(std::string_view)>& append);

}  // namespace ado

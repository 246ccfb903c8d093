#pragma once

#include <sql.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
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

// The beginning of a value of the current row, at most `keep` bytes of
// it, and its whole size in bytes; std::nullopt when it is NULL. Where the
// driver tells the size (psqlODBC and the SQLite driver do), that takes one
// call; where it says SQL_NO_TOTAL, the rest is read in pieces and counted,
// not kept.
struct ValueStart {
  std::string bytes;
  std::uint64_t size = 0;
};
std::optional<ValueStart> ReadValueStart(OdbcStatement& statement, SQLUSMALLINT column, SQLSMALLINT cType,
                                         std::size_t keep);

}  // namespace ado

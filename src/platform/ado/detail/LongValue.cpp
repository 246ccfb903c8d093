#include "LongValue.h"

#include <sqlext.h>

#include <algorithm>
#include <vector>

#include "OdbcStatement.h"

namespace ado {
namespace {

// Without a length from the driver, the pieces grow up to this size.
constexpr std::size_t LargestGuessedPiece = 64 * 1024 * 1024;
// The pieces a value is counted in where the driver does not tell its size.
constexpr std::size_t CountedPiece = 64 * 1024;

}  // namespace

bool ReadLongValue(OdbcStatement& statement, SQLUSMALLINT column, SQLSMALLINT cType, char* first,
                   std::size_t firstSize, const std::function<void(std::string_view)>& append) {
  const std::size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
  std::vector<char> more;
  char* buffer = first;
  std::size_t size = firstSize;
  for (;;) {
    SQLLEN length = 0;
    const SQLRETURN rc =
        SQLGetData(statement.handle(), column, cType, buffer, static_cast<SQLLEN>(size), &length);
    if (rc == SQL_NO_DATA) break;
    statement.Check(rc, "Reading a value");
    if (length == SQL_NULL_DATA) return false;
    const std::size_t room = size - terminator;
    const bool known = length != SQL_NO_TOTAL;
    const std::size_t piece = !known || static_cast<std::size_t>(length) > room ? room : static_cast<std::size_t>(length);
    append(std::string_view(buffer, piece));
    if (rc == SQL_SUCCESS) break;
    // `length` counted what was left before this piece.
    const std::size_t next = known ? static_cast<std::size_t>(length) - piece + terminator
                                   : std::max(size, std::min(size * 2, LargestGuessedPiece));
    more.resize(std::max<std::size_t>(next, terminator + 1));
    buffer = more.data();
    size = more.size();
  }
  return true;
}

std::optional<ValueStart> ReadValueStart(OdbcStatement& statement, SQLUSMALLINT column, SQLSMALLINT cType,
                                         std::size_t keep) {
  const std::size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
  std::vector<char> buffer(std::max<std::size_t>(keep, 1) + terminator);
  ValueStart start;
  for (;;) {
    SQLLEN length = 0;
    const SQLRETURN rc =
        SQLGetData(statement.handle(), column, cType, buffer.data(), static_cast<SQLLEN>(buffer.size()), &length);
    if (rc == SQL_NO_DATA) break;
    statement.Check(rc, "Reading a value");
    if (length == SQL_NULL_DATA) return std::nullopt;
    const std::size_t room = buffer.size() - terminator;
    const bool known = length != SQL_NO_TOTAL;
    const std::size_t piece = !known || static_cast<std::size_t>(length) > room ? room : static_cast<std::size_t>(length);
    if (start.bytes.size() < keep) start.bytes.append(buffer.data(), std::min(piece, keep - start.bytes.size()));
    // `length` counted what was left before this piece.
    if (known) {
      start.size += static_cast<std::uint64_t>(length);
      break;
    }
    start.size += piece;
    if (rc == SQL_SUCCESS) break;
    buffer.resize(std::max(buffer.size(), CountedPiece + terminator));
  }
  return start;
}

}  // namespace ado

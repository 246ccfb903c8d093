#pragma once

#include <optional>
#include <string>
#include <vector>

#include "RawOdbc.h"

namespace bench {

using TextRow = std::vector<std::optional<std::string>>;

// Rows of a query as texts, with the SQL type of each column.
struct TextRows {
  std::vector<SQLSMALLINT> types;
  std::vector<TextRow> rows;
};
// Parameters, where given, go as texts of the given SQL types.
TextRows ReadTexts(const RawConnection& connection, const std::string& sql, std::size_t limit,
                   const TextRow& parameters = {}, const std::vector<SQLSMALLINT>& types = {});

// Runs one statement over many parameter sets at once (column-wise arrays of
// texts, each sent as the given SQL type); returns the rows it changed, as
// the driver counts them (0 where it reached none). Throws when a set failed.
long ExecuteArray(const RawConnection& connection, const std::string& sql, const std::vector<TextRow>& sets,
                  const std::vector<SQLSMALLINT>& types);

// Autocommit off until Commit, and back on after.
class RawTransaction {
 public:
  explicit RawTransaction(const RawConnection& connection);
  ~RawTransaction();
  RawTransaction(const RawTransaction&) = delete;
  RawTransaction& operator=(const RawTransaction&) = delete;
  void Commit();

 private:
  const RawConnection& connection_;
  bool open_ = true;
};

// The name the driver gives its database ("SQLite", "PostgreSQL").
std::string DatabaseName(const RawConnection& connection);

}  // namespace bench

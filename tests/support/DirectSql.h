#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace support {

// A second connection to a data source through plain ODBC calls, beside
// the layer under test: sets up tables and checks what reached the
// database. Runs in autocommit mode. Failures throw std::runtime_error with
// the driver's messages.
class DirectSql {
 public:
  explicit DirectSql(const QString& dataSourceName);
  ~DirectSql();
  DirectSql(const DirectSql&) = delete;
  DirectSql& operator=(const DirectSql&) = delete;

  void Exec(const std::string& sql);
  // Runs several statements separated by ";\n".
  void ExecScript(const std::string& script);

  using Cell = std::optional<std::string>;
  using Rows = std::vector<std::vector<Cell>>;
  Rows Query(const std::string& sql);
  // The first column of the first row; throws when there is no row.
  Cell Scalar(const std::string& sql);

 private:
  void* environment_ = nullptr;
  void* connection_ = nullptr;
};

}  // namespace support

#include "DataSource.h"

namespace db {
namespace {
std::function<std::string()>& NameReader() {
  static std::function<std::string()> reader;
  return reader;
}
}  // namespace

void SetDataSourceNameReader(std::function<std::string()> reader) { NameReader() = std::move(reader); }

std::string CurrentDataSourceName() {
  const auto& reader = NameReader();
  return reader ? reader() : std::string();
}

std::string ConnectionStringFor(const std::string& dataSourceName) { return "Data Source=" + dataSourceName; }

void OpenDataSourceConnection(ado::Connection& connection) {
  connection.setProvider("MSDASQL");
  connection.Open(ConnectionStringFor(CurrentDataSourceName()));
}

}  // namespace db

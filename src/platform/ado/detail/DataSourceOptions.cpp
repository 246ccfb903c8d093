#include "DataSourceOptions.h"

#include <odbcinst.h>

#include <cctype>
#include <optional>
#include <string_view>

#include "SqlText.h"

namespace ado {
namespace {

std::string Trimmed(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return std::string(text);
}

// The value of a keyword in an ODBC connection string.
std::optional<std::string> Keyword(const std::string& connectionString, std::string_view keyword) {
  std::string_view rest = connectionString;
  while (!rest.empty()) {
    const auto end = rest.find(';');
    const std::string_view part = rest.substr(0, end);
    const auto equals = part.find('=');
    if (equals != std::string_view::npos && Lower(Trimmed(part.substr(0, equals))) == Lower(std::string(keyword)))
      return std::string(part.substr(equals + 1));
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return std::nullopt;
}

bool IsOn(const std::string& value) {
  const std::string lower = Lower(Trimmed(value));
  return lower == "1" || lower == "yes" || lower == "on" || lower == "true";
}

}  // namespace

bool TransactionsDisabled(const std::string& odbcConnectionString) {
  if (auto value = Keyword(odbcConnectionString, "NoTXN")) return IsOn(*value);
  const auto dataSource = Keyword(odbcConnectionString, "DSN");
  if (!dataSource) return false;
  char value[64] = {};
  SQLGetPrivateProfileString(dataSource->c_str(), "NoTXN", "", value, sizeof value, "odbc.ini");
  return IsOn(value);
}

}  // namespace ado

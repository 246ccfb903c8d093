#include "DataSourceOptions.h"

#include <odbcinst.h>

#include <cctype>
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

std::optional<std::string> DataSourceOption(const std::string& odbcConnectionString, const std::string& keyword) {
  if (auto value = Keyword(odbcConnectionString, keyword)) return value;
  const auto dataSource = Keyword(odbcConnectionString, "DSN");
  if (!dataSource) return std::nullopt;
  char value[256] = {};
  // An absent key reads as the default, which no real value is.
  constexpr const char* absent = "\x01";
  SQLGetPrivateProfileString(dataSource->c_str(), keyword.c_str(), absent, value, sizeof value, "odbc.ini");
  if (std::string_view(value) == absent) return std::nullopt;
  return std::string(value);
}

bool DataSourceOptionOn(const std::string& odbcConnectionString, const std::string& keyword) {
  const auto value = DataSourceOption(odbcConnectionString, keyword);
  return value && IsOn(*value);
}

bool TransactionsDisabled(const std::string& odbcConnectionString) {
  return DataSourceOptionOn(odbcConnectionString, "NoTXN");
}

std::string WithFoundRows(const std::string& odbcConnectionString) {
  // OPTION is a set of flags (OPTIONS its other name); 2 is FOUND_ROWS.
  if (DataSourceOption(odbcConnectionString, "OPTION") || DataSourceOption(odbcConnectionString, "OPTIONS"))
    return odbcConnectionString;
  std::string amended = odbcConnectionString;
  if (!amended.empty() && amended.back() != ';') amended += ';';
  return amended + "OPTION=2";
}

}  // namespace ado

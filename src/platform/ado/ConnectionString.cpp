#include "ConnectionString.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <vector>

#include "AdoError.h"

namespace ado {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

bool SameKeyword(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::vector<std::string_view> SplitAtSemicolons(std::string_view text) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = text.find(';');
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) break;
    text.remove_prefix(at + 1);
  }
  return parts;
}

}  // namespace

std::string OdbcConnectionString(const std::string& connectionString) {
  bool named = false;
  std::string dataSource;
  std::string further;
  for (std::string_view part : SplitAtSemicolons(connectionString)) {
    if (TrimBlanks(part).empty()) continue;
    const auto equals = part.find('=');
    const std::string_view keyword =
        TrimBlanks(equals == std::string_view::npos ? part : part.substr(0, equals));
    if (!named && equals != std::string_view::npos &&
        (SameKeyword(keyword, "Data Source") || SameKeyword(keyword, "DSN"))) {
      named = true;
      dataSource = std::string(part.substr(equals + 1));  // blanks stay: they are part of the name
      continue;
    }
    further += ';';
    further += part;
  }
  // The driver manager answers an empty name by connecting to whatever it
  // takes as its default, so it must be refused here.
  if (dataSource.empty())
    throw Error("Data source name not found and no default driver specified (the data source name is empty)",
                "IM002");
  return "DSN=" + dataSource + further;
}

}  // namespace ado

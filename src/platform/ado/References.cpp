#include "References.h"

#include <sqlext.h>

#include <algorithm>

#include "AdoError.h"
#include "Identifier.h"
#include "detail/BoundParameters.h"
#include "detail/OdbcConnection.h"
#include "detail/OdbcStatement.h"
#include "detail/SqlText.h"
#include "detail/ViewQuery.h"
#include "detail/dialect/Dialect.h"

namespace ado {
namespace {

struct BoundedRows {
  std::vector<std::string> names;
  std::vector<int> types;
  std::vector<References::Cells> rows;
  std::size_t columns = 0;  // in the result, read or not
};

// A value cut to `bytes` at most (at a character's start), with "..." where
// it was longer.
std::optional<std::string> ReadCut(OdbcStatement& statement, SQLUSMALLINT column, std::size_t bytes) {
  std::string buffer(bytes + 1, '\0');
  SQLLEN length = 0;
  const SQLRETURN rc = SQLGetData(statement.handle(), column, SQL_C_CHAR, buffer.data(),
                                  static_cast<SQLLEN>(buffer.size()), &length);
  statement.Check(rc, "Reading a referenced value");
  if (length == SQL_NULL_DATA) return std::nullopt;
  const bool whole = length != SQL_NO_TOTAL && static_cast<std::size_t>(length) <= bytes;
  if (whole) return buffer.substr(0, static_cast<std::size_t>(length));
  std::size_t cut = bytes;
  while (cut > 0 && (static_cast<unsigned char>(buffer[cut]) & 0xC0) == 0x80) --cut;
  return buffer.substr(0, cut) + "...";
}

// At most `rows` rows of at most `columns` columns, each value cut at
// `bytes`, waiting no longer than the references may.
BoundedRows RunBounded(OdbcConnection& connection, const std::string& sql, const std::vector<std::string>& parameters,
                       std::size_t rows, std::size_t columns, std::size_t bytes) {
  OdbcStatement statement(connection);
  BoundParameters bound;
  for (const std::string& parameter : parameters) bound.AddText(parameter);
  bound.BindTo(statement);
  statement.LimitWait(References::WaitSeconds);
  statement.ExecDirect(sql);
  BoundedRows result;
  SQLSMALLINT count = 0;
  statement.Check(SQLNumResultCols(statement.handle(), &count), "Reading the columns of the result");
  result.columns = static_cast<std::size_t>(count);
  const auto read = static_cast<SQLUSMALLINT>(std::min(result.columns, columns));
  for (SQLUSMALLINT column = 1; column <= read; ++column) {
    SQLCHAR name[256] = {};
    SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    statement.Check(SQLDescribeCol(statement.handle(), column, name, sizeof name, &nameLength, &type, &size, &digits,
                                   &nullable),
                    "Reading the columns of the result");
    result.names.emplace_back(reinterpret_cast<const char*>(name));
    result.types.push_back(type);
  }
  while (result.rows.size() < rows) {
    const SQLRETURN rc = SQLFetch(statement.handle());
    if (rc == SQL_NO_DATA) break;
    statement.Check(rc, "Fetching a referenced row");
    References::Cells row;
    for (SQLUSMALLINT column = 1; column <= read; ++column) row.push_back(ReadCut(statement, column, bytes));
    result.rows.push_back(std::move(row));
  }
  return result;
}

bool IsText(int type) {
  return type == SQL_CHAR || type == SQL_VARCHAR || type == SQL_LONGVARCHAR || type == SQL_WCHAR ||
         type == SQL_WVARCHAR || type == SQL_WLONGVARCHAR;
}

std::string Shown(const std::optional<std::string>& value) { return value ? *value : std::string("NULL"); }

// "id = 7", "a = 1, b = 2": the key's values as the message names them.
std::string KeyValues(const ForeignKey& key, const References::Cells& values, const char* separator, bool quoted) {
  std::vector<std::string> parts;
  for (std::size_t i = 0; i < key.referencedColumns.size() && i < values.size(); ++i)
    parts.push_back((quoted ? "\"" + key.referencedColumns[i] + "\"" : key.referencedColumns[i]) + " = " +
                    Shown(values[i]));
  return Join(parts, separator);
}

constexpr std::size_t KeyBytes = 4096;
constexpr const char* Escape = " ESCAPE '!'";

}  // namespace

References::References(ConnectionPtr connection, std::vector<ForeignKey> keys, const Dialect& dialect, char quote)
    : connection_(std::move(connection)), keys_(std::move(keys)), dialect_(dialect), quote_(quote) {}

References::~References() = default;

const ForeignKey* References::KeyOf(int column) const {
  for (const ForeignKey& key : keys_)
    if (std::ranges::find(key.columns, column) != key.columns.end()) return &key;
  return nullptr;
}

OdbcConnection& References::Session() {
  if (!session_ || !session_->isOpen()) session_ = connection_->odbc().OpenAnother();
  return *session_;
}

std::string References::Match(const ForeignKey& key, const Cells& values, std::vector<std::string>& parameters) const {
  std::vector<std::string> parts;
  for (std::size_t i = 0; i < key.referencedColumns.size(); ++i) {
    parts.push_back(QuoteIdentifier(key.referencedColumns[i], quote_) + " = " + key.valueMarkers[i]);
    parameters.push_back(values.at(i).value_or(""));
  }
  return Join(parts, " AND ");
}

std::optional<References::Cells> References::ReferencedRow(const ForeignKey& key, const Cells& values,
                                                            std::vector<std::string>& names) {
  std::vector<std::string> parameters;
  const std::string sql = "SELECT * FROM " + key.quotedReferencedTable + " WHERE " + Match(key, values, parameters);
  BoundedRows found = RunBounded(Session(), sql, parameters, 1, TipColumns, TipValueBytes);
  names = std::move(found.names);
  if (found.columns > names.size())
    names.push_back("... and " + std::to_string(found.columns - names.size()) + " more columns");
  if (found.rows.empty()) return std::nullopt;
  return std::move(found.rows.front());
}

std::string References::RowTip(const ForeignKey& key, const Cells& values) {
  if (values.size() != key.referencedColumns.size() || std::ranges::any_of(values, [](const auto& v) { return !v; }))
    return {};
  const auto at = static_cast<std::size_t>(&key - keys_.data());
  const auto cached = tips_.find({at, values});
  if (cached != tips_.end()) return cached->second;
  std::string tip;
  try {
    std::vector<std::string> names;
    const std::optional<Cells> row = ReferencedRow(key, values, names);
    if (!row) {
      tip = "No row of \"" + key.referencedTable + "\" holds " + KeyValues(key, values, " and ", false) + ".";
    } else {
      tip = "\"" + key.referencedTable + "\" (" + KeyValues(key, values, ", ", false) + "):";
      for (std::size_t column = 0; column < names.size(); ++column)
        tip += "\n" + names[column] + (column < row->size() ? ": " + Shown((*row)[column]) : std::string());
    }
  } catch (const Error& error) {
    // Said in the tip, not kept: the next look tries again.
    session_.reset();
    return "\"" + key.referencedTable + "\": the referenced row could not be read.\n" + error.what();
  }
  if (tips_.size() >= 256) tips_.clear();
  tips_[{at, values}] = tip;
  return tip;
}

std::string References::DescribingColumn(const ForeignKey& key) {
  const auto known = describing_.find(key.quotedReferencedTable);
  if (known != describing_.end()) return known->second;
  const BoundedRows shape =
      RunBounded(Session(), "SELECT * FROM " + key.quotedReferencedTable + " WHERE 1 = 0", {}, 0, SIZE_MAX, 0);
  std::string describing;
  for (std::size_t column = 0; column < shape.names.size(); ++column) {
    const bool inKey = std::ranges::find(key.referencedColumns, shape.names[column]) != key.referencedColumns.end();
    if (!inKey && IsText(shape.types[column])) {
      describing = shape.names[column];
      break;
    }
  }
  describing_[key.quotedReferencedTable] = describing;
  return describing;
}

std::vector<References::Choice> References::Choices(const ForeignKey& key, const std::string& search,
                                                    const std::optional<std::string>& after, std::size_t rows) {
  if (key.composite()) return {};
  const std::string described = DescribingColumn(key);
  const std::string keyColumn = QuoteIdentifier(key.referencedColumns.front(), quote_);
  const std::string description = described.empty() ? std::string("NULL") : QuoteIdentifier(described, quote_);
  std::vector<std::string> conditions;
  std::vector<std::string> parameters;
  if (after) {
    conditions.push_back(keyColumn + " > " + key.valueMarkers.front());
    parameters.push_back(*after);
  }
  if (!search.empty()) {
    std::string holds = dialect_.Contains(keyColumn, Escape);
    parameters.push_back(ContainsPattern(search));
    if (!described.empty()) {
      holds += " OR " + dialect_.Contains(description, Escape);
      parameters.push_back(ContainsPattern(search));
    }
    conditions.push_back("(" + holds + ")");
  }
  const std::string sql = "SELECT " + keyColumn + ", " + description + " FROM " + key.quotedReferencedTable +
                          (conditions.empty() ? std::string() : " WHERE " + Join(conditions, " AND ")) +
                          " ORDER BY " + keyColumn + " LIMIT " + std::to_string(rows);
  std::vector<Choice> choices;
  try {
    for (Cells& row : RunBounded(Session(), sql, parameters, rows, 2, KeyBytes).rows) {
      if (!row[0]) continue;
      std::optional<std::string> text = std::move(row[1]);
      if (text && text->size() > TipValueBytes) text = text->substr(0, TipValueBytes) + "...";
      choices.push_back({std::move(*row[0]), std::move(text)});
    }
  } catch (const Error&) {
    session_.reset();
    throw;
  }
  return choices;
}

std::string References::MissingReference(const std::map<int, std::optional<std::string>>& cells) {
  for (const ForeignKey& key : keys_) {
    Cells values;
    for (int column : key.columns) {
      const auto cell = cells.find(column);
      if (cell == cells.end() || !cell->second) break;
      values.push_back(cell->second);
    }
    // A key with a NULL part references nothing.
    if (values.size() != key.columns.size()) continue;
    try {
      std::vector<std::string> parameters;
      const std::string sql =
          "SELECT 1 FROM " + key.quotedReferencedTable + " WHERE " + Match(key, values, parameters);
      if (RunBounded(Session(), sql, parameters, 1, 1, 16).rows.empty())
        return "the table \"" + key.referencedTable + "\" has no row with " + KeyValues(key, values, " and ", true);
    } catch (const Error&) {
      session_.reset();
      return {};
    }
  }
  return {};
}

}  // namespace ado

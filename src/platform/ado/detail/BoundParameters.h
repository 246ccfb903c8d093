#pragma once

#include <sql.h>

#include <deque>
#include <optional>
#include <string>

namespace ado {

struct ColumnInfo;
class OdbcStatement;

// Values for the markers of one statement, kept at stable addresses for as
// long as the statement runs. Every value a user typed reaches the database
// this way and never as part of the statement text. A value longer than
// SentInPiecesAbove is sent when the statement runs, in pieces (see
// OdbcStatement): a driver then need not take it in one buffer.
class BoundParameters {
 public:
  static constexpr std::size_t SentInPiecesAbove = 1024 * 1024;

  // Adds a value (std::nullopt: NULL) of the column's type.
  void Add(const std::optional<std::string>& value, const ColumnInfo& column);
  // A text (std::nullopt: NULL) that the database converts to the type the
  // statement needs: nothing of the value is lost on the way.
  void AddText(const std::optional<std::string>& value);
  // Raw bytes, compared and stored as they are.
  void AddBytes(const std::string& bytes);
  void BindTo(OdbcStatement& statement);
  std::size_t size() const { return parameters_.size(); }

 private:
  struct Parameter {
    std::string bytes;
    SQLLEN indicator = 0;
    SQLSMALLINT cType = 0;
    SQLSMALLINT sqlType = 0;
    SQLULEN columnSize = 0;
    SQLSMALLINT digits = 0;
  };
  std::deque<Parameter> parameters_;
};

}  // namespace ado

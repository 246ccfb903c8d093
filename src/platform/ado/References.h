#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Connection.h"
#include "ForeignKey.h"

namespace ado {

class Dialect;
class OdbcConnection;

// The rows the table's foreign keys reference, read on a connection of
// their own (never the one the grid reads through), each read bounded: one
// row for a tool tip, a block of key values for a drop-down, a wait of a
// few seconds at most. Values are always bound, names quoted.
class References {
 public:
  using Cells = std::vector<std::optional<std::string>>;

  // `connection`: the table's, whose data source the reads connect to.
  References(ConnectionPtr connection, std::vector<ForeignKey> keys, const Dialect& dialect, char quote);
  ~References();
  References(const References&) = delete;
  References& operator=(const References&) = delete;

  const std::vector<ForeignKey>& keys() const { return keys_; }
  // The first key the visible column is part of; none where it is in none.
  const ForeignKey* KeyOf(int column) const;

  // The referenced row as a tool tip shows it, for the key's values (in
  // the key's order); empty where a value is NULL (nothing is referenced).
  std::string RowTip(const ForeignKey& key, const Cells& values);

  // The referenced table's key values in their order, with the describing
  // column's value (the first text column not in the key; none: the key
  // alone), `rows` at most, after `after` where given, holding `search`
  // (case aside) in the key or the description where not empty. For keys
  // of one column.
  struct Choice {
    std::string key;
    std::optional<std::string> description;
  };
  std::vector<Choice> Choices(const ForeignKey& key, const std::string& search, const std::optional<std::string>& after,
                              std::size_t rows);
  // The describing column's name; empty where there is none.
  std::string DescribingColumn(const ForeignKey& key);

  // Of a row a foreign key refused (`cells`: its visible columns' values
  // where known), the first key whose values no referenced row holds, as
  // "the table "customers" has no row with "id" = 999"; empty where none
  // is found.
  std::string MissingReference(const std::map<int, std::optional<std::string>>& cells);

  static constexpr int WaitSeconds = 3;
  static constexpr std::size_t TipColumns = 12;
  static constexpr std::size_t TipValueBytes = 80;

 private:
  OdbcConnection& Session();
  std::string Match(const ForeignKey& key, const Cells& values, std::vector<std::string>& parameters) const;
  std::optional<Cells> ReferencedRow(const ForeignKey& key, const Cells& values, std::vector<std::string>& names);

  ConnectionPtr connection_;
  std::vector<ForeignKey> keys_;
  const Dialect& dialect_;
  char quote_;
  std::unique_ptr<OdbcConnection> session_;
  std::map<std::string, std::string> describing_;  // by referenced table
  std::map<std::pair<std::size_t, Cells>, std::string> tips_;
};

}  // namespace ado

#include "RowEffects.h"

#include <algorithm>

#include "platform/ado/AdoError.h"
#include "DataSourceFacts.h"
#include "OdbcConnection.h"
#include "SqlText.h"
#include "StatementRows.h"
#include "dialect/Dialect.h"
#include "TableRead.h"

namespace ado {

bool RowEffects::deletesCascade() const {
  return std::ranges::any_of(selfReferences,
                             [](const SelfReference& reference) { return reference.onDelete == Action::Cascade; });
}

bool RowEffects::deleteReaches() const {
  return triggers || std::ranges::any_of(selfReferences, [](const SelfReference& reference) {
           return reference.onDelete != Action::None;
         });
}

bool RowEffects::updateReaches() const {
  return triggers || std::ranges::any_of(selfReferences, [](const SelfReference& reference) {
           return reference.onUpdate != Action::None;
         });
}

RowEffects::Action RowEffects::ActionNamed(const std::string& words) {
  const std::string upper = Upper(words);
  if (upper == "CASCADE") return Action::Cascade;
  if (upper == "SET NULL") return Action::SetNull;
  if (upper == "SET DEFAULT") return Action::SetDefault;
  return Action::None;
}

RowEffects RowEffects::Learn(OdbcConnection& connection, const TableRead& read) {
  RowEffects effects;
  if (!read.dialect) return effects;
  std::vector<std::string> parameters;
  const std::string query = read.dialect->RowEffectsQuery(read, parameters);
  if (query.empty()) return effects;
  // Rows of (kind, name, a, b, c, d), keys first, each key's pairs in order:
  // "k" a pair of a foreign key from the table to itself (its name, the
  // referencing and the referenced column, ON DELETE, ON UPDATE); "t" a
  // trigger (its name, "1" where it may write the table, "1" where it is a
  // BEFORE UPDATE trigger).
  const auto text = [](const std::optional<std::string>& cell) { return cell.value_or(std::string()); };
  std::vector<TextRow> rows;
  try {
    rows = QueryRows(connection, query, parameters);
  } catch (const Error&) {
    // Not known: every write looks at the rows held again.
    effects.triggers = true;
    return effects;
  }
  for (const TextRow& row : rows) {
    if (row.size() < 6) continue;
    if (text(row[0]) == "t") {
      effects.triggers = effects.triggers || text(row[2]) == "1";
      effects.beforeUpdate = effects.beforeUpdate || text(row[3]) == "1";
    } else {
      effects.AddPair(read, connection, text(row[1]), text(row[2]), text(row[3]), ActionNamed(text(row[4])),
                      ActionNamed(text(row[5])));
    }
  }
  return effects;
}

void RowEffects::AddPair(const TableRead& read, const OdbcConnection& connection, const std::string& key,
                         const std::string& referencing, const std::string& referenced, Action onDelete,
                         Action onUpdate) {
  if ((onDelete == Action::None && onUpdate == Action::None) || key == brokenKey_) return;
  const auto place = [&](const std::string& name) {
    const auto found = std::ranges::find(read.quotedColumns, connection.facts().Quote(name));
    return found == read.quotedColumns.end() ? -1 : static_cast<int>(found - read.quotedColumns.begin());
  };
  const int from = place(referencing), to = place(referenced);
  if (selfReferences.empty() || key != lastKey_) selfReferences.push_back({{}, {}, onDelete, onUpdate});
  lastKey_ = key;
  SelfReference& reference = selfReferences.back();
  // A column the read does not show (a generated one, say) leaves the key
  // to the triggers' way: rows are looked at again, nothing is counted.
  if (from < 0 || to < 0) {
    triggers = true;
    brokenKey_ = key;
    selfReferences.pop_back();
    return;
  }
  reference.referencing.push_back(from);
  reference.referenced.push_back(to);
}

}  // namespace ado

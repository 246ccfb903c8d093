#include "DeleteCascade.h"

#include <algorithm>

#include "SqlText.h"
#include "TableRead.h"
#include "dialect/Dialect.h"

namespace ado {

DeleteCascade::DeleteCascade(const WriteShape& shape) : shape_(shape) {
  for (const RowEffects::SelfReference& key : shape.read.effects.selfReferences) {
    if (key.onDelete != RowEffects::Action::Cascade) continue;
    keys_.push_back(key);
    for (int column : key.referenced)
      if (std::ranges::find(referenced_, column) == referenced_.end()) referenced_.push_back(column);
  }
}

std::optional<PlannedStatement> DeleteCascade::Read(const std::vector<StoredRow>& rows) const {
  if (!cascades() || rows.empty()) return std::nullopt;
  const TableRead& read = shape_.read;
  const auto quoted = [&](int column) { return read.quotedColumns[static_cast<std::size_t>(column)]; };
  const auto slot = [&](int column) {
    return "k" + std::to_string(std::ranges::find(referenced_, column) - referenced_.begin());
  };
  std::vector<std::string> slots, seeds, children, found;
  for (int column : referenced_) {
    slots.push_back(slot(column));
    seeds.push_back(quoted(column));
    children.push_back("c." + quoted(column));
    found.push_back("taken." + slot(column) + " = o." + quoted(column));
  }
  // The rows refer on by the keys' values; UNION keeps each row once, so
  // that a circle of rows ends.
  PlannedStatement planned;
  std::vector<std::string> named, joins;
  for (const StoredRow& row : rows)
    named.push_back("(" + read.dialect->RowMatch(shape_, row, std::nullopt, planned.parameters, false) + ")");
  for (const RowEffects::SelfReference& key : keys_) {
    std::vector<std::string> pairs;
    for (std::size_t index = 0; index < key.referencing.size(); ++index)
      pairs.push_back("c." + quoted(key.referencing[index]) + " = taken." + slot(key.referenced[index]));
    joins.push_back("(" + Join(pairs, " AND ") + ")");
  }
  planned.sql = "WITH RECURSIVE taken (" + Join(slots, ", ") + ") AS (SELECT " + Join(seeds, ", ") + " FROM " +
                read.quotedTable + " WHERE " + Join(named, " OR ") + " UNION SELECT " + Join(children, ", ") +
                " FROM " + read.quotedTable + " c JOIN taken ON " + Join(joins, " OR ") + ") SELECT " +
                read.SelectList() + " FROM " + read.quotedTable + " o WHERE EXISTS (SELECT 1 FROM taken WHERE " +
                Join(found, " AND ") + ")";
  planned.returnsRows = true;
  return planned;
}

std::vector<std::size_t> DeleteCascade::Parents(const std::vector<StoredRow>& rows, std::size_t child) const {
  std::vector<std::size_t> parents;
  for (const RowEffects::SelfReference& key : keys_) {
    const auto refers = [&](const StoredRow& parent) {
      for (std::size_t index = 0; index < key.referencing.size(); ++index) {
        const auto& from = rows[child][static_cast<std::size_t>(key.referencing[index])];
        if (!from || from != parent[static_cast<std::size_t>(key.referenced[index])]) return false;
      }
      return true;
    };
    for (std::size_t parent = 0; parent < rows.size(); ++parent)
      if (parent != child && refers(rows[parent])) parents.push_back(parent);
  }
  return parents;
}

std::vector<DeleteCascade::Taken> DeleteCascade::ParentsFirst(std::vector<StoredRow> rows) const {
  // Each row's depth is the longest way down to it; a circle stops after as
  // many rounds as there are rows.
  std::vector<std::vector<std::size_t>> parents;
  for (std::size_t child = 0; child < rows.size(); ++child) parents.push_back(Parents(rows, child));
  std::vector<std::size_t> depth(rows.size(), 0);
  for (std::size_t round = 0; round < rows.size(); ++round) {
    bool deeper = false;
    for (std::size_t child = 0; child < rows.size(); ++child)
      for (std::size_t parent : parents[child])
        if (depth[child] <= depth[parent]) {
          depth[child] = depth[parent] + 1;
          deeper = true;
        }
    if (!deeper) break;
  }
  std::vector<Taken> taken;
  for (std::size_t index = 0; index < rows.size(); ++index) taken.push_back({std::move(rows[index]), depth[index]});
  std::ranges::stable_sort(taken, {}, &Taken::depth);
  return taken;
}

}  // namespace ado

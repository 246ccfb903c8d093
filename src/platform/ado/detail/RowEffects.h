#pragma once

#include <string>
#include <vector>

namespace ado {

class OdbcConnection;
struct TableRead;

// What a write of one row may do to other rows of the same table, as the
// database's catalogue tells when the table opens: a foreign key from the
// table to itself whose ON DELETE or ON UPDATE deletes or changes the rows
// that refer to a row, and triggers that write rows of the table. A table
// with none of these costs a write nothing more.
struct RowEffects {
  enum class Action { None, Cascade, SetNull, SetDefault };
  // A foreign key from the table to itself: the columns of a row that refer
  // to the `referenced` columns of another row (visible columns, by place).
  struct SelfReference {
    std::vector<int> referencing;
    std::vector<int> referenced;
    Action onDelete = Action::None;
    Action onUpdate = Action::None;
  };
  std::vector<SelfReference> selfReferences;
  // A trigger on the table that may write rows of it: an AFTER trigger, or
  // one whose body names the table.
  bool triggers = false;
  // A BEFORE UPDATE trigger, which may keep a row's old values.
  bool beforeUpdate = false;

  bool any() const { return triggers || !selfReferences.empty(); }
  // Deleting a row deletes the rows that refer to it.
  bool deletesCascade() const;
  // Whether deleting (updating) a row may reach other rows of the table.
  bool deleteReaches() const;
  bool updateReaches() const;
  bool insertReaches() const { return triggers; }
  // The words of an action as the catalogues spell it ("CASCADE", "SET
  // NULL", "SET DEFAULT"; anything else: none).
  static Action ActionNamed(const std::string& words);
  // Learns them with the dialect's one catalogue query (see
  // Dialect::RowEffectsQuery); nothing where the dialect has none.
  static RowEffects Learn(OdbcConnection& connection, const TableRead& read);
  // Adds one column pair of a foreign key from the table to itself, by the
  // columns' own names (`key` names the key the pair belongs to: pairs of
  // one key come one after another, in order).
  void AddPair(const TableRead& read, const OdbcConnection& connection, const std::string& key,
               const std::string& referencing, const std::string& referenced, Action onDelete, Action onUpdate);

 private:
  std::string lastKey_;
  std::string brokenKey_;
};

}  // namespace ado

#include "PostgresPermissions.h"

#include "platform/ado/AdoError.h"
#include "platform/ado/ColumnInfo.h"
#include "../OdbcConnection.h"
#include "../StatementRows.h"

namespace ado {
namespace {

bool True(const std::optional<std::string>& value) { return value && (*value == "true" || *value == "1"); }

std::string NoRight(const std::string& right, const std::string& what) {
  return "the database grants you no " + right + " right on " + what + ".";
}

}  // namespace

WritePermissions AskPostgresPermissions(OdbcConnection& connection, const TableRead& read,
                                        const std::vector<ColumnInfo>& columns) {
  WritePermissions permissions;
  const std::vector<TextRow> rows = QueryRows(
      connection,
      "SELECT pg_is_in_recovery()::text, current_setting('default_transaction_read_only'), "
      "has_table_privilege(c.oid, 'INSERT')::text, has_table_privilege(c.oid, 'DELETE')::text, a.attname, "
      "has_column_privilege(c.oid, a.attnum, 'UPDATE')::text "
      "FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid AND a.attnum > 0 AND NOT a.attisdropped "
      "WHERE c.oid = to_regclass(?)",
      {read.quotedTable});
  if (rows.empty() || rows.front().size() < 6) return permissions;
  const TextRow& first = rows.front();
  if (True(first[0])) {
    permissions.everything =
        "The database server is a standby (a read-only copy that follows its primary server), so nothing can be "
        "changed here. Connect to the primary server to make changes.";
    return permissions;
  }
  if (first[1] && (*first[1] == "on" || *first[1] == "true")) {
    permissions.everything =
        "The database makes every transaction read-only (default_transaction_read_only is on), so nothing can be "
        "changed here.";
    return permissions;
  }
  if (!True(first[2])) permissions.adding = "You may not add rows to this table: " + NoRight("INSERT", "it");
  if (!True(first[3])) permissions.deleting = "You may not delete rows of this table: " + NoRight("DELETE", "it");
  for (const TextRow& row : rows) {
    if (!row[4] || True(row[5])) continue;
    const std::string quoted = connection.facts().Quote(*row[4]);
    for (std::size_t index = 0; index < read.quotedColumns.size() && index < columns.size(); ++index)
      if (read.quotedColumns[index] == quoted)
        permissions.columns[static_cast<int>(index)] =
            "You may not change the column \"" + columns[index].name + "\": " + NoRight("UPDATE", "it");
  }
  return permissions;
}

}  // namespace ado

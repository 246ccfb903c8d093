#include "PostgresDialect.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iterator>
#include <set>
#include <thread>

#include "platform/ado/AdoError.h"
#include "platform/ado/ColumnInfo.h"
#include "platform/ado/Identifier.h"
#include "../DataSourceFacts.h"
#include "../DataSourceOptions.h"
#include "../OdbcConnection.h"
#include "../OdbcStatement.h"
#include "../OdbcTransaction.h"
#include "../StatementRows.h"
#include "../TableRead.h"
#include "../WritePermissions.h"
#include "PostgresPermissions.h"
#include "TableReadPlans.h"

namespace ado {
namespace {

// Relations of every kind share the names of a schema: an index or a view
// earlier on the search path hides a table of the same name. What hides one
// and is no table or view (an index, a sequence, a type) is looked at but
// not listed: a table's key comes with an index of its own, which would
// double the rows read.
constexpr const char* OwnTables =
    "SELECT current_database() AS TABLE_CATALOG, nspname AS TABLE_SCHEMA, relname AS TABLE_NAME, "
    "CASE relkind WHEN 'r' THEN 'TABLE' WHEN 'p' THEN 'TABLE' WHEN 'v' THEN 'VIEW' WHEN 'm' THEN 'MATVIEW' "
    "ELSE 'FOREIGN TABLE' END AS TABLE_TYPE, NULL AS REMARKS FROM ("
    "SELECT DISTINCT ON (c.relname) n.nspname, c.relname, c.relkind FROM pg_class c "
    "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = ANY (current_schemas(false)) "
    "ORDER BY c.relname, array_position(current_schemas(false), n.nspname)) r "
    "WHERE relkind IN ('r', 'p', 'v', 'm', 'f') ORDER BY 4, 3";

// One element of an array value: quoted, its quotes and backslashes
// escaped.
std::string ArrayElement(const std::string& text) {
  std::string element = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') element += '\\';
    element += c;
  }
  return element + "\"";
}

bool IsInteger(const std::string& text) {
  return !text.empty() && std::ranges::all_of(text, [](unsigned char c) { return std::isdigit(c) != 0; });
}

PostgresTuple Tuple(const WriteShape& shape, const StoredRow& row) {
  return PostgresTupleOf(shape.read, row, shape.columns.size());
}

std::string TupleMatch(const WriteShape& shape, const StoredRow& row, BoundParameters& parameters) {
  const PostgresTuple tuple = Tuple(shape, row);
  std::string match;
  if (!tuple.inOwnTable) {
    parameters.AddText(tuple.tableOid);
    match = "tableoid = CAST(? AS oid) AND ";
  }
  parameters.AddText(tuple.ctid);
  parameters.AddText(tuple.xmin);
  return match + "ctid = CAST(? AS tid) AND xmin = CAST(? AS xid)";
}

// The primary key's columns of the row's own table (a partition or an
// inheriting table may have its own), in key order with their exact types;
// empty where not known.
std::vector<std::pair<int, std::string>> PrimaryKeyOf(OdbcConnection& connection, const WriteShape& shape,
                                                      const StoredRow& row) {
  std::vector<std::pair<int, std::string>> key;
  const auto rows = QueryRows(connection,
                              "SELECT a.attname, format_type(a.atttypid, a.atttypmod) FROM pg_index i "
                              "JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey) "
                              "WHERE i.indrelid = CAST(? AS oid) AND i.indisprimary "
                              "ORDER BY array_position(i.indkey::int2[], a.attnum)",
                              {Tuple(shape, row).tableOid});
  for (const TextRow& found : rows) {
    if (found.size() < 2 || !found[0] || !found[1]) continue;
    const auto column = std::ranges::find(shape.read.quotedColumns, connection.facts().Quote(*found[0]));
    if (column == shape.read.quotedColumns.end()) return {};
    key.emplace_back(static_cast<int>(column - shape.read.quotedColumns.begin()), *found[1]);
  }
  return key;
}

// The cell holds exactly the value as the driver read it, compared as the
// column's own type (a boolean read as 1 or 0 too); types without equality,
// and those read as text to keep them whole, by that text.
std::string ValueHolds(const TableRead& read, int column, const std::optional<std::string>& value,
                       BoundParameters& parameters) {
  static const std::set<std::string> noEquality = {"json", "xml", "point", "line", "lseg", "box",
                                                   "path", "polygon", "circle"};
  const auto index = static_cast<std::size_t>(column);
  const std::string& c = read.quotedColumns.at(index);
  if (!value) return c + " IS NULL";
  parameters.AddText(value);
  const std::string type = index < read.baseTypes.size() ? read.baseTypes[index] : std::string();
  const bool readAsText = index < read.typesReadAsText.size() && !read.typesReadAsText[index].empty();
  if (type.empty() || readAsText || noEquality.contains(type)) return "CAST(" + c + " AS text) = ?";
  return c + " = CAST(? AS " + QuoteIdentifier(type, '"') + ")";
}

// An address and a version name a row only until the table is rewritten
// (CLUSTER, VACUUM FULL): rows written by one transaction share their
// version, and another of them may then sit at this address. What the
// table itself says a row is goes with them: its primary key; without one,
// in a write (where every cell is whole), every cell as read.
std::string TableIdentity(const WriteShape& shape, const StoredRow& row, BoundParameters& parameters, bool forWrite) {
  const TableRead& read = shape.read;
  std::vector<int> cells = read.orderColumns;
  if (cells.empty() && forWrite)
    for (int column = 0; column < static_cast<int>(shape.columns.size()); ++column) cells.push_back(column);
  std::string match;
  for (int column : cells) {
    const auto index = static_cast<std::size_t>(column);
    if (shape.columns[index].isBinary() && row[index]) {
      parameters.AddBytes(*row[index]);
      match += " AND " + read.quotedColumns[index] + " = ?";
    } else {
      match += " AND " + ValueHolds(read, column, row[index], parameters);
    }
  }
  return match;
}

}  // namespace

void PostgresDialect::Learn(const std::string& connectionString, DataSourceFacts& facts) const {
  facts.cursorHoldsTransaction = DataSourceOptionOn(connectionString, "UseDeclareFetch");
}

void PostgresDialect::ListOwnTables(OdbcStatement& statement) const { statement.ExecDirect(OwnTables); }

void PostgresDialect::PlanRead(OdbcConnection& connection, TableRead& read) const {
  PlanPostgresRead(connection, read);
}

std::vector<int> PostgresDialect::IdentityCells(const TableRead& read, int visible) const {
  if (read.identity != TableRead::Identity::PostgresTuple) return {};
  std::vector<int> cells;
  for (int hidden = 0; hidden < read.hiddenCount(); ++hidden) cells.push_back(visible + hidden);
  return cells;
}

std::vector<int> PostgresDialect::OrderKeyCells(const TableRead& read, int visible) const {
  if (!read.orderColumns.empty()) return read.orderColumns;
  // Without a key: the row's physical place, where one table holds every
  // row (its address is the hidden cell before the version).
  if (read.orderKeys == std::vector<std::string>{"ctid"} && read.hiddenCount() >= 2)
    return {visible + read.hiddenCount() - 2};
  return {};
}

std::string PostgresDialect::Contains(const std::string& column, const std::string& escape) const {
  return "CAST(" + column + " AS text) ILIKE ?" + escape;
}

std::string PostgresDialect::Holds(const TableRead& read, const RowView::ValueFilter& filter,
                                   BoundParameters& parameters) const {
  return ValueHolds(read, filter.column, filter.value, parameters);
}

std::vector<std::string> PostgresDialect::TieBreakers(const TableRead& read, const std::string& sorted) const {
  // The primary key where there is one: the rows sorted carry no more than
  // is shown, and a sort by the key itself needs only its index.
  if (!read.orderColumns.empty()) {
    std::vector<std::string> key;
    std::ranges::copy_if(read.orderKeys, std::back_inserter(key), [&](const auto& c) { return c != sorted; });
    return key;
  }
  if (!read.hiddenColumns.empty() && read.hiddenColumns[0] == "tableoid") return {"tableoid", "ctid"};
  return {"ctid"};
}

bool PostgresDialect::ReadsOnByKeys(const TableRead& read) const {
  // The primary key, or the physical place where one table holds every row.
  return read.identity == TableRead::Identity::PostgresTuple &&
         (!read.orderColumns.empty() || read.orderKeys == std::vector<std::string>{"ctid"});
}

std::string PostgresDialect::KeyValue(const TableRead& read, std::size_t key, const std::string& value,
                                      BoundParameters& parameters) const {
  parameters.AddText(value);
  // As the type the key holds.
  const std::string type = read.orderColumns.empty()
                               ? std::string("tid")
                               : read.baseTypes.at(static_cast<std::size_t>(read.orderColumns.at(key)));
  return "CAST(? AS " + type + ")";
}

std::string PostgresDialect::EstimateQuery(const TableRead& read, std::vector<std::string>&) const {
  if (!IsInteger(read.ownOid)) return {};
  return "SELECT CAST(reltuples AS bigint) FROM pg_class WHERE oid = " + read.ownOid;
}

std::string PostgresDialect::WriteSettings(int waitSeconds) const {
  // Behind a connection pooler in transaction pooling, only a transaction
  // keeps one server session: the wait for another session's lock is
  // limited for each write's transaction alone, and leaves nothing behind
  // for the pool's next client. So are the server's keepalive probes, which
  // end a transaction whose client the network lost within seconds rather
  // than hours (it would hold its row locks meanwhile). The transaction is
  // named by its server process and its start, for a write whose
  // connection is lost.
  // (A VALUES list, which the driver sends as it is, where a SELECT would
  // go through a cursor of the driver's and cost two more round trips.)
  return "VALUES (pg_backend_pid()::text || ' ' || extract(epoch FROM now())::text, "
         "set_config('lock_timeout', '" + std::to_string(waitSeconds) + "s', true), "
         "set_config('tcp_keepalives_idle', '5', true), set_config('tcp_keepalives_interval', '2', true), "
         "set_config('tcp_keepalives_count', '3', true))";
}

WritePermissions PostgresDialect::AskPermissions(OdbcConnection& connection, const TableRead& read,
                                                 const std::vector<ColumnInfo>& columns) const {
  try {
    return AskPostgresPermissions(connection, read, columns);
  } catch (const Error&) {
    return {};
  }
}

std::string PostgresDialect::WriteTarget(const WriteShape& shape, const StoredRow& row) const {
  // A row of the table itself is reached through the table alone; a row of
  // a table that inherits, or of a partition, by its table's oid as well.
  if (shape.read.identity == TableRead::Identity::PostgresTuple && Tuple(shape, row).inOwnTable)
    return "ONLY " + shape.read.quotedTable;
  return shape.read.quotedTable;
}

std::string PostgresDialect::RowMatch(const WriteShape& shape, const StoredRow& row, const std::optional<CellChange>&,
                                      BoundParameters& parameters, bool forWrite) const {
  if (shape.read.identity != TableRead::Identity::PostgresTuple)
    throw Error(shape.read.unavailable.empty() ? "The rows of this table cannot be found again."
                                               : shape.read.unavailable);
  const std::string tuple = TupleMatch(shape, row, parameters);
  return tuple + TableIdentity(shape, row, parameters, forWrite);
}

std::string PostgresDialect::Returning(const TableRead& read) const {
  if (read.identity != TableRead::Identity::PostgresTuple) return {};
  return " RETURNING " + read.SelectList();
}

std::optional<PlannedStatement> PostgresDialect::DeleteAtOnce(const WriteShape& shape,
                                                              const std::vector<StoredRow>& originals) const {
  const TableRead& read = shape.read;
  // A table without a key is deleted from row by row, each compared whole.
  if (!read.unavailable.empty() || read.identity != TableRead::Identity::PostgresTuple || read.orderColumns.empty())
    return std::nullopt;
  // Found through the tuple ids at once; each must still be in the version
  // read and hold the key read (see TableIdentity). The ids, and each
  // row's id, version and key as text, go as two array values. A key whose
  // text form is not the driver's reaches fewer rows, and the rows are then
  // deleted one by one.
  std::string tids, rows, identity = "ctid::text || ' ' || xmin::text";
  for (int column : read.orderColumns)
    identity += " || ' ' || CAST(" + read.quotedColumns[static_cast<std::size_t>(column)] + " AS text)";
  for (const StoredRow& original : originals) {
    const PostgresTuple tuple = Tuple(shape, original);
    if (!tuple.inOwnTable) return std::nullopt;
    std::string named = tuple.ctid + " " + tuple.xmin;
    for (int column : read.orderColumns) {
      const std::optional<std::string>& key = original[static_cast<std::size_t>(column)];
      if (!key) return std::nullopt;
      named += " " + *key;
    }
    tids += (tids.empty() ? "{" : ",") + ArrayElement(tuple.ctid);
    rows += (rows.empty() ? "{" : ",") + ArrayElement(named);
  }
  PlannedStatement planned;
  planned.parameters.AddText(tids + "}");
  planned.parameters.AddText(rows + "}");
  planned.sql = "DELETE FROM ONLY " + read.quotedTable + " WHERE ctid = ANY(CAST(? AS tid[])) AND " + identity +
                " = ANY(CAST(? AS text[]))";
  planned.expectedRows = static_cast<long>(originals.size());
  return planned;
}

std::string PostgresDialect::ColumnsAsRead(const TableRead& read, BoundParameters& parameters) const {
  // A rename leaves every row's version as it was: only the columns tell.
  if (read.columnNames.empty() || !IsInteger(read.ownOid)) return {};
  std::string names;
  for (const std::string& name : read.columnNames) names += (names.empty() ? "{" : ",") + ArrayElement(name);
  parameters.AddText(read.ownOid);
  parameters.AddText(names + "}");
  return "(SELECT array_agg(attname::text ORDER BY attnum) FROM pg_attribute WHERE attrelid = CAST(? AS oid) "
         "AND attnum > 0 AND NOT attisdropped) = CAST(? AS text[])";
}

std::optional<PlannedStatement> PostgresDialect::FindAgain(OdbcConnection& connection, const WriteShape& shape,
                                                           const StoredRow& original,
                                                           const std::optional<CellChange>&) const {
  // Only by the primary key: a physical address may have been handed to
  // another row meanwhile. The row's own table, not its physical place: a
  // changed row has moved.
  if (shape.read.identity != TableRead::Identity::PostgresTuple) return std::nullopt;
  const std::vector<std::pair<int, std::string>> key = PrimaryKeyOf(connection, shape, original);
  if (key.empty()) return std::nullopt;
  PlannedStatement planned;
  std::string match = "tableoid = CAST(? AS oid)";
  planned.parameters.AddText(Tuple(shape, original).tableOid);
  for (const auto& [column, type] : key) {
    const auto index = static_cast<std::size_t>(column);
    if (!original[index]) return std::nullopt;
    planned.parameters.AddText(original[index]);
    match += " AND " + shape.read.quotedColumns[index] + " = CAST(? AS " + type + ")";
  }
  planned.sql = "SELECT " + shape.read.SelectList() + " FROM " + shape.read.quotedTable + " WHERE " + match;
  planned.returnsRows = true;
  return planned;
}

bool PostgresDialect::RowsCarryVersions(const TableRead& read) const {
  return read.identity == TableRead::Identity::PostgresTuple;
}

std::optional<PlannedStatement> PostgresDialect::SameVersion(const WriteShape& shape,
                                                             const StoredRow& original) const {
  if (shape.read.identity != TableRead::Identity::PostgresTuple) return std::nullopt;
  return ReadRow(shape, original);
}

bool PostgresDialect::EndSession(OdbcConnection& connection, const std::string& session) const {
  // Until the old transaction is over it may still commit the write (it
  // may be waiting for a lock). It is named by its server process and its
  // start: behind a connection pooler the process serves other clients
  // once the transaction is over, and is then left alone. Each question is
  // a transaction of its own: the server's activity seen inside one stays
  // as it was at its start, and no session is left idle in a transaction.
  const std::size_t space = session.find(' ');
  if (space == std::string::npos) return false;
  const std::vector<std::string> transaction{session.substr(0, space), session.substr(space + 1)};
  const std::string same = "pid = CAST(? AS integer) AND extract(epoch FROM xact_start) = CAST(? AS numeric)";
  const auto ask = [&](const std::string& sql) {
    OdbcTransaction own(connection);
    std::vector<TextRow> rows = QueryRows(connection, sql, transaction);
    own.Commit();
    return rows;
  };
  ask("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE " + same);
  for (int attempt = 0; attempt < 50; ++attempt) {
    const auto rows = ask("SELECT count(*) FROM pg_stat_activity WHERE " + same);
    if (!rows.empty() && rows[0][0] == std::optional<std::string>("0")) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

bool PostgresDialect::MeansBusy(const Error& error) const {
  // lock_timeout, and statement_timeout (or a cancel) ending a wait.
  return error.sqlState() == "55P03" || error.sqlState() == "57014";
}

bool PostgresDialect::MeansConnectionLost(const Error& error) const {
  // The server ending or refusing the session.
  const std::string& state = error.sqlState();
  return state == "57P01" || state == "57P02" || state == "57P03" ||
         std::string(error.what()).find("server closed the connection") != std::string::npos;
}

bool PostgresDialect::MeansTimeLimit(const Error& error) const {
  // statement_timeout; a cancel by the user or another session says
  // "user request".
  return error.sqlState() == "57014" && std::string(error.what()).find("statement timeout") != std::string::npos;
}

bool PostgresDialect::MeansReadEnded(const Error& error) const {
  // A standby cancels a statement that conflicts with what it replays, and
  // a session idle in a transaction for too long is ended.
  const std::string& state = error.sqlState();
  const std::string text = error.what();
  return state == "25P03" || (state == "40001" && text.find("conflict with recovery") != std::string::npos) ||
         text.find("idle-in-transaction timeout") != std::string::npos ||
         text.find("terminating connection") != std::string::npos;
}

}  // namespace ado

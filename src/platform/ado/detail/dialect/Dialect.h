#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ado/RowView.h"
#include "../PlannedStatement.h"
#include "../StoredRow.h"

namespace ado {

class Error;
class OdbcConnection;
class OdbcStatement;
struct ColumnInfo;
struct DataSourceFacts;
struct TableRead;
struct WritePermissions;

// A table as a write sees it: how its rows are read, and its visible
// columns as the result describes them.
struct WriteShape {
  const TableRead& read;
  const std::vector<ColumnInfo>& columns;
};

// Everything this layer knows of one kind of database, asked as
// capabilities and pieces of SQL, never by its name. One is chosen when a
// connection opens (see ChooseDialect) and stays with its facts; the rest
// of the layer asks it and nothing else which database it talks to.
//
// The defaults are those of a driver this layer knows nothing more of:
// standard SQL, rows found by the primary key the catalogue names.
class Dialect {
 public:
  virtual ~Dialect() = default;

  // ---- Connecting
  // Facts of the data source only this database has (from the connection
  // string the connection was opened with).
  virtual void Learn(const std::string& connectionString, DataSourceFacts& facts) const;
  // The connection string to connect with once the database is known.
  virtual std::string ConnectionString(const std::string& given) const { return given; }
  // Fails where the database cannot be read, though a connection opened.
  virtual void CheckReadable(OdbcConnection&) const {}
  // The tables rowset (TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME, TABLE_TYPE,
  // REMARKS), limited to what an unqualified name opens, without what the
  // database keeps for itself.
  virtual void ListOwnTables(OdbcStatement& statement) const;

  // ---- Reading a table
  // How the named table's rows are read with what finds each again;
  // `read` comes with the table's name, quoted and not.
  virtual void PlanRead(OdbcConnection& connection, TableRead& read) const;
  // When the first write is prepared: what finds a row again where the
  // read could not tell before the result was described.
  virtual void ResolveKey(OdbcConnection&, TableRead&, const std::vector<ColumnInfo>&) const {}
  // The cells (by place in a read row) that name the row; empty: none do.
  virtual std::vector<int> IdentityCells(const TableRead& read, int visible) const;
  // The cells holding the values of the table's order keys.
  virtual std::vector<int> OrderKeyCells(const TableRead& read, int visible) const;
  // A cell's exact text where its usual text loses part of the value
  // (`marks`: the row's storage marks); none otherwise.
  virtual std::optional<std::string> ExactText(const TableRead&, std::string_view /*marks*/, int /*column*/) const {
    return std::nullopt;
  }
  // A cell of a read row as it must go back to the database to be stored
  // exactly as it is.
  virtual CellChange ExactCell(const TableRead& read, const ColumnInfo& column, const StoredRow& row,
                               int index) const;

  // ---- Finding, filtering and sorting in the database
  // The column's text holds the bound pattern, case aside.
  virtual std::string Contains(const std::string& column, const std::string& escape) const;
  // The cell holds exactly the filter's value (bound).
  virtual std::string Holds(const TableRead& read, const RowView::ValueFilter& filter,
                            BoundParameters& parameters) const;
  // What tells rows of equal values of the sorted column apart.
  virtual std::vector<std::string> TieBreakers(const TableRead& read, const std::string& sorted) const;
  // Whether NULL sorts before every value (ascending).
  virtual bool NullsSortFirst() const { return true; }
  // A whole read under a sort where the database needs a form of its own;
  // none: the plain SELECT.
  virtual std::optional<std::string> SortedQuery(const TableRead&, const std::string& /*where*/,
                                                 const std::vector<std::string>& /*order*/, std::size_t /*rows*/,
                                                 std::size_t /*skip*/) const {
    return std::nullopt;
  }

  // ---- Windows of rows
  // Whether a read can go on right after a row by the values of its order
  // keys (in the table's own order), which compare exactly.
  virtual bool ReadsOnByKeys(const TableRead&) const { return false; }
  // A row's order key value as the statement compares it (bound or not).
  virtual std::string KeyValue(const TableRead& read, std::size_t key, const std::string& value,
                               BoundParameters& parameters) const;
  // What skips the first rows of a read of every row after them.
  virtual std::string SkipOnly(std::size_t rows) const { return " OFFSET " + std::to_string(rows); }
  // Whether the place skipped to is better found on the key's index alone.
  virtual bool SkipsOnKeyIndex() const { return false; }
  // What the catalogue guesses the table's rows number, cheaply, with its
  // text parameters; empty where it has nothing to go by.
  virtual std::string EstimateQuery(const TableRead&, std::vector<std::string>& /*parameters*/) const { return {}; }
  // The one catalogue query of what a write may do beyond its row (see
  // RowEffects::Learn), with its text parameters; empty: nothing known.
  virtual std::string RowEffectsQuery(const TableRead&, std::vector<std::string>& /*parameters*/) const { return {}; }
  // Whether the one order key, as its cell (`cell`) reads, holds integers:
  // then a place's key can be worked out where the count says every value
  // in the key's range is a row.
  virtual bool OrderKeyIsInteger(const TableRead& read, const ColumnInfo& cell) const;
  // The table's foreign keys as rows of (key, column, referenced schema,
  // referenced table, referenced column, the referenced column's type where
  // a bound text must be cast to it), each key's columns in order, with its
  // text parameters; empty: the driver's SQLForeignKeys.
  virtual std::string ForeignKeysQuery(const TableRead&, std::vector<std::string>& /*parameters*/) const {
    return {};
  }
  // The rows of a sort first asked for (a few screens), which the server
  // sorts in memory; 0: all of them at once.
  virtual std::size_t SortedFirstRows() const { return 0; }
  // The rows of any read of a table first asked for, where the driver takes
  // in the whole result before it hands over its first row; 0: all of them
  // at once (the driver hands them over as they come).
  virtual std::size_t FirstRows() const { return 0; }

  // ---- Writing rows
  // What the driver of the session the writes go through is told over the
  // data source's settings (keyword=value pairs); empty: nothing.
  virtual std::string WriterOptions() const { return {}; }
  // Set once on each session the writes go through.
  virtual void SetUpWriter(OdbcConnection&) const {}
  // A query run first in each write's transaction: sets what that
  // transaction alone needs and answers with what names it (see
  // EndSession); empty: none.
  virtual std::string WriteSettings(int waitSeconds) const {
    (void)waitSeconds;
    return {};
  }
  // Whether a statement prepared in one write's transaction may run again
  // in a later one on the same session (not where a pooler may hand each
  // transaction another server session).
  virtual bool StatementsOutliveWrites() const { return false; }
  // How long a statement of a write waits for another session's lock, as
  // the client counts it; 0: the server limits it (see WriteSettings).
  virtual int StatementWaitSeconds(int waitSeconds) const { return waitSeconds; }
  // The server's warnings of the last statement, where its driver reports
  // a write it warned about as a plain success; empty: none needed.
  virtual std::string WarningsQuery() const { return {}; }
  // A mark that changes whenever another connection commits; empty: none.
  virtual std::string OthersCommitMarkQuery() const { return {}; }
  // The file the database lives in, where it is one file on this machine
  // (empty otherwise).
  virtual std::string DatabaseFile(OdbcConnection&) const { return {}; }
  // What the database says the user may not write (asked once).
  virtual WritePermissions AskPermissions(OdbcConnection& connection, const TableRead& read,
                                          const std::vector<ColumnInfo>& columns) const;

  // How a statement reaches exactly the row read:
  // what it names (the table, or only the table itself);
  virtual std::string WriteTarget(const WriteShape& shape, const StoredRow& row) const;
  // what names the row (`change`: a stored change of a key column, which
  // the row now goes by; `forWrite`: the write itself or a read right
  // after it, when a row's physical identity still names it);
  virtual std::string RowMatch(const WriteShape& shape, const StoredRow& row, const std::optional<CellChange>& change,
                               BoundParameters& parameters, bool forWrite) const;
  // " AND ..." what keeps a write off a row no longer as read, where rows
  // carry no version; `changed` empty: the whole row (a delete).
  virtual std::string StillAsRead(const WriteShape& shape, const StoredRow& original, const std::vector<int>& changed,
                                  BoundParameters& parameters) const;
  // Where a written value goes in the statement, and its value bound.
  virtual std::string ValueSlot(const WriteShape& shape, const CellChange& change) const;
  virtual void BindValue(const WriteShape& shape, const CellChange& change, BoundParameters& parameters) const;
  // What a write appends to hand the stored rows back; empty: none.
  virtual std::string Returning(const TableRead&) const { return {}; }
  // Reads back the row just inserted, on the writer before it commits;
  // none where nothing names the new row for sure.
  virtual std::optional<PlannedStatement> ReadInserted(const WriteShape& shape,
                                                       const std::vector<CellChange>& cells) const;
  // Deletes several rows in one statement that must reach all of them;
  // none where the database offers no such form.
  virtual std::optional<PlannedStatement> DeleteAtOnce(const WriteShape&, const std::vector<StoredRow>&) const {
    return std::nullopt;
  }
  // What holds while the table's columns are those read, in their order
  // (bound); empty where it cannot be told. `InEveryWrite`: cheap enough to
  // go into every write's condition, not only into the look at a write that
  // reached no row.
  virtual std::string ColumnsAsRead(const TableRead&, BoundParameters&) const { return {}; }
  virtual bool ColumnsCheckedInEveryWrite() const { return false; }
  // Why cells of the column cannot be written, from how rows are found;
  // empty where they can.
  virtual std::string ColumnReadOnlyReason(const WriteShape& shape, int column) const;
  // Reads the row by what names it (see RowMatch).
  PlannedStatement ReadRow(const WriteShape& shape, const StoredRow& row, const std::optional<CellChange>& change = {},
                           bool forWrite = false) const;

  // ---- Finding a row again after a write missed it
  // Reads a row no longer as read by what the table says names it (a key),
  // whatever its version; none where nothing does.
  virtual std::optional<PlannedStatement> FindAgain(OdbcConnection& connection, const WriteShape& shape,
                                                    const StoredRow& original,
                                                    const std::optional<CellChange>& change) const;
  // Whether any change of a row gives it a new version, which its match
  // compares: a row found again with the values read was written again.
  virtual bool RowsCarryVersions(const TableRead&) const { return false; }
  // Reads the row only in the version read; none where rows carry no
  // version.
  virtual std::optional<PlannedStatement> SameVersion(const WriteShape&, const StoredRow&) const {
    return std::nullopt;
  }
  // Whether a count of 0 rows may mean "written over with what it held"
  // (a driver that counts changed rather than matched rows).
  virtual bool CountsChangedRows(const TableRead& read) const;
  // Ends a session lost with a write under way for good (`session`, as
  // WriteSettings answered); true once it is certainly over.
  virtual bool EndSession(OdbcConnection&, const std::string& /*session*/) const { return false; }

  // ---- What an error means (see ErrorMeaning.h): this database's own
  // states and words, besides the standard ones.
  virtual bool MeansBusy(const Error&) const { return false; }
  virtual bool MeansConnectionLost(const Error&) const { return false; }
  virtual bool MeansReadEnded(const Error&) const { return false; }
  virtual bool MeansTimeLimit(const Error&) const { return false; }
};

// "column = ?" with the value bound, or "column IS NULL".
std::string MatchValue(const std::string& column, const std::optional<std::string>& value,
                       BoundParameters& parameters);

// The dialect of the database a connection reached, by what its driver
// says of it.
const Dialect& ChooseDialect(const std::string& dbmsName, const std::string& driverName);
// Every dialect there is (errors carry no connection to ask).
const std::vector<const Dialect*>& AllDialects();

}  // namespace ado

// A randomized check of the whole write path against a model of what the
// database must hold. Random cell edits go through the grid's own editor,
// and rows are added, deleted, pasted over and changes undone through the
// grid, interleaved with UPDATEs, DELETEs and INSERTs by a second connection, on
// tables of many shapes and column types. After every step the table is read
// back row for row, by SQLite rowid or PostgreSQL ctid, with the exact stored
// form of every value, and every difference from the model is classed:
//   (a) an edit reported saved whose value is not exactly in its row,
//   (b) another row, or another cell of the row, changed by a grid edit,
//   (c) an edit saved over a change of the second connection that the grid
//       never showed (a lost update),
//   (d) an edit reported refused that changed the table all the same,
//   (e) a refusal whose reason is not true (deleted, changed by someone
//       else, several rows alike).
// QUORVANE_MODEL_SEED and QUORVANE_MODEL_STEPS (steps per driver) choose a
// longer run, QUORVANE_MODEL_TRACE=1 tells every step; scripts/check-writes.
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <utility>

#include "platform/ui/RecordsetModel.h"
#include "platform/ui/TabSeparatedText.h"
#include "support/EditingFixture.h"

using namespace reliability;

namespace {

constexpr int SessionSteps = 20;  // steps before the table is opened afresh

enum class Kind { Key, Code, Int, Real, Numeric, Money, Text, Bool, Date, Stamp, StampTz, Json, Any };

struct Values {
  std::vector<std::string> typed;    // what a user types, fit for the column
  std::vector<std::string> invalid;  // what the column may well refuse
  std::vector<std::string> sql;      // what the second connection writes
};

const std::string Sum = "CAST(0.1 AS DOUBLE PRECISION) + CAST(0.2 AS DOUBLE PRECISION)";
const std::string Third = "CAST(1 AS DOUBLE PRECISION) / 3";

const Values& ValuesOf(Kind kind) {
  static const std::map<Kind, Values> values{
      {Kind::Key, {{"1", "2", "3", "4", "5", "6", "7", "8"}, {"x1", "1.5"}, {"1", "3", "5", "9", "10", "11", "12"}}},
      {Kind::Code, {{"a", "b", "c", "d", "e"}, {"a code far too long"}, {"'a'", "'b'", "'c'", "'f'", "'g'"}}},
      {Kind::Int, {{"0", "1", "7", "42", "-3", "2147483647"}, {"abc", "1.5", "99999999999"}, {"0", "5", "42", "NULL"}}},
      {Kind::Real,
       {{"0.3", "0.1", "2.5", "-1", "1e-3", "0.30000000000000004", "1e10"}, {"abc"}, {Sum, "0.3", Third, "NULL"}}},
      {Kind::Numeric,
       {{"1.5", "12.25", "0.1", "100", "-3.333", "0"}, {"abc", "1e20"}, {"1.5", "12.34", "0.1", "7", "NULL"}}},
      {Kind::Money, {{"12.50", "3", "0.1", "-4.25", "$7.00"}, {"abc"}, {"'12.34'", "'0.10'", "'7'", "NULL"}}},
      {Kind::Text,
       {{"alpha", "beta", "", "  spaced  ", "O'Neil", "\u00fcn\u00efc\u00f6d\u00e9", "NULL", "0.3"},
        {"a text longer than twenty characters"},
        {"'gamma'", "''", "NULL", "'x'", "'alpha'"}}},
      {Kind::Bool, {{"true", "false", "1", "0"}, {"maybe"}, {"'1'", "'0'", "NULL"}}},
      {Kind::Date, {{"2024-01-31", "1999-12-31", "2000-02-29"}, {"2024-02-30", "someday"}, {"'2020-05-05'", "NULL"}}},
      {Kind::Stamp, {{"2024-01-31 10:20:30", "1999-12-31 23:59:59.5", "infinity"}, {"noon"}, {"'2001-02-03 04:05'"}}},
      {Kind::StampTz,
       {{"2024-01-31 10:20:30+02", "infinity", "-infinity"}, {"noon"}, {"'infinity'", "'2010-10-10 10:10+05'"}}},
      {Kind::Json, {{"{\"a\": 1}", "[1, 2]", "\"s\"", "null"}, {"{bad"}, {"'{\"b\": 2}'", "'[]'", "NULL"}}},
      {Kind::Any, {{"5", "5.0", "text", "0.3"}, {}, {"5", "'5'", "5.5", "'t'", "NULL"}}},
  };
  return values.at(kind);
}

struct ColumnDesign {
  const char* name;
  const char* sqlite;  // the declared type per driver; nullptr: no such column
  const char* postgres;
  Kind kind;
};

struct TableDesign {
  const char* name;
  const char* shape;
  std::vector<ColumnDesign> columns;
  std::vector<std::string> key;  // a primary key over several columns, or none
  std::string rows;              // VALUES written first, or ""
};

const std::vector<TableDesign>& Tables() {
  static const std::vector<TableDesign> tables{
      {"by_id", "integer key",
       {{"id", "INTEGER PRIMARY KEY", "integer PRIMARY KEY", Kind::Key}, {"name", "TEXT", "text", Kind::Text},
        {"qty", "INTEGER NOT NULL CHECK (qty >= 0)", "integer NOT NULL CHECK (qty >= 0)", Kind::Int},
        {"price", "NUMERIC(12,2)", "numeric(12,2)", Kind::Numeric}, {"ratio", "REAL", "float8", Kind::Real}},
       {}, ""},
      {"by_real", "float key",
       {{"k", "REAL PRIMARY KEY", "float8 PRIMARY KEY", Kind::Real}, {"label", "TEXT", "text", Kind::Text},
        {"n", "REAL", "real", Kind::Real}},
       {}, "(" + Sum + ", 'sum', 1), (0.3, 'three', 2), (" + Third + ", 'third', 3)"},
      {"by_code", "text key",
       {{"code", "TEXT PRIMARY KEY", "varchar(20) PRIMARY KEY", Kind::Code},
        {"note", "VARCHAR(20)", "varchar(20)", Kind::Text}, {"amount", "DECIMAL(10,2)", "money", Kind::Money}},
       {}, ""},
      {"pairs", "composite key",
       {{"a", "INTEGER", "integer", Kind::Key}, {"b", "VARCHAR(5)", "varchar(5)", Kind::Code},
        {"v", "TEXT", "text", Kind::Text}, {"n", "NUMERIC", "numeric", Kind::Numeric}},
       {"a", "b"}, ""},
      {"loose", "no key, twin rows",
       {{"a", "INTEGER", "integer", Kind::Int}, {"b", "TEXT", "text", Kind::Text}, {"r", "REAL", "float8", Kind::Real},
        {"d", "DATE", "date", Kind::Date}},
       {},
       "(1, 'x', 0.5, '2024-01-01'), (1, 'x', 0.5, '2024-01-01'), (2, NULL, NULL, NULL), (2, NULL, NULL, NULL), "
       "(3, '', 0.3, NULL), (4, 'y', " + Sum + ", NULL), (4, 'y', 0.3, NULL)"},
      {"typed", "every type, a key that is not the rowid",
       {{"id", "INT PRIMARY KEY", "bigint PRIMARY KEY", Kind::Key}, {"i", "INTEGER", "integer", Kind::Int},
        {"big", nullptr, "bigint", Kind::Int}, {"r", "REAL", "real", Kind::Real}, {"f", nullptr, "float8", Kind::Real},
        {"n", "NUMERIC(12,2)", "numeric(12,2)", Kind::Numeric}, {"d", "DECIMAL(10,2)", nullptr, Kind::Numeric},
        {"m", nullptr, "money", Kind::Money}, {"t", "TEXT", "text", Kind::Text},
        {"v", "VARCHAR(20)", "varchar(20)", Kind::Text}, {"b", "BOOLEAN", "boolean", Kind::Bool},
        {"dt", "DATE", "date", Kind::Date}, {"ts", nullptr, "timestamp", Kind::Stamp},
        {"tz", nullptr, "timestamptz", Kind::StampTz}, {"j", nullptr, "json", Kind::Json},
        {"jb", nullptr, "jsonb", Kind::Json}, {"u", "", nullptr, Kind::Any}},
       {}, ""},
  };
  return tables;
}

std::string Literal(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

QString Text(const Cell& cell) { return cell ? "\"" + QString::fromStdString(*cell) + "\"" : QString("NULL"); }

using Row = std::vector<Cell>;
struct Stored {
  Row exact;  // quote() of each value (SQLite), its text (PostgreSQL)
  Row plain;  // as the driver hands it out, as the grid shows it
};
using State = std::map<std::string, Stored>;  // by rowid or ctid

struct Figures {
  int saved = 0, refused = 0, updates = 0, deletes = 0, inserts = 0, otherRefused = 0;
  int gridDeleted = 0, gridDeleteRefused = 0, gridAdded = 0, gridAddRefused = 0;
  int gridPasted = 0, gridPasteRefused = 0, gridUndone = 0, gridUndoRefused = 0;
  std::array<int, 5> found{};
  QStringList anomalies;
};

// One table: the rows it must hold, and what the grid showed of them.
class TableRun {
 public:
  TableRun(support::DirectSql& sql, bool postgres, const TableDesign& design, std::mt19937& random, Figures& figures)
      : sql_(sql), postgres_(postgres), name_(design.name), random_(random), figures_(figures) {
    std::string definition;
    for (const ColumnDesign& column : design.columns) {
      const char* type = postgres ? column.postgres : column.sqlite;
      if (!type) continue;
      columns_.push_back({column.name, type, column.kind});
      definition += (definition.empty() ? "" : ", ") + Quoted(column.name) + " " + type;
    }
    std::string key;
    for (const std::string& name : design.key) key += (key.empty() ? "" : ", ") + Quoted(name);
    if (!key.empty()) definition += ", PRIMARY KEY (" + key + ")";
    for (std::size_t index = 0; index < columns_.size(); ++index)
      if (columns_[index].type.find("PRIMARY KEY") != std::string::npos ||
          std::ranges::find(design.key, columns_[index].name) != design.key.end())
        key_.push_back(index);
    // The grid lists the rows in the table's order: SQLite's rowid,
    // PostgreSQL's primary key, else the physical order.
    order_ = postgres ? "" : "rowid";
    for (const std::string& name : postgres ? design.key : std::vector<std::string>{})
      order_ += (order_.empty() ? "" : ", ") + Quoted(name_) + "." + Quoted(name);
    for (const Column& column : columns_)
      if (postgres && column.type.find("PRIMARY KEY") != std::string::npos)
        order_ = Quoted(name_) + "." + Quoted(column.name);
    if (order_.empty()) order_ = "ctid";
    sql_.Exec("CREATE TABLE " + Quoted(name_) + " (" + definition + ")");
    if (!design.rows.empty()) sql_.Exec("INSERT INTO " + Quoted(name_) + " VALUES " + design.rows);
    if (postgres_) {  // the type a typed text is cast to, as the server names it
      for (Column& column : columns_)
        column.type = *sql_.Scalar("SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = " +
                                   Literal(Quoted(name_)) + "::regclass AND attname = " + Literal(column.name));
    } else {  // the same column affinities without constraints
      sql_.Exec("CREATE TEMP TABLE " + Quoted("probe_" + name_) + " AS SELECT * FROM " + Quoted(name_) + " WHERE 0");
    }
    state_ = Read();
    for (int row = 0; row < 8; ++row) Insert(false);
  }

  // Returns the steps taken: a paste or an undo ends the session, as the
  // rows it moves are followed afresh from the next one on.
  int Session(ui::DataGrid& grid, QSignalSpy& failed, const QString& source, int steps) {
    grid.setDataSource(OpenTable(source, name_));
    model_ = grid.recordsetModel();
    tracked_.clear();
    last_.reset();
    editable_.clear();
    const auto rows = sql_.Query(Select() + " ORDER BY " + order_);
    if (model_->rowCount() != static_cast<int>(rows.size())) throw std::logic_error(name_ + ": grid rows missing");
    for (const auto& row : rows) {
      const auto& [handle, stored] = Parse(row);
      tracked_.push_back(ShownAs(handle, stored.exact));
      if (!Shows(static_cast<int>(tracked_.size()) - 1, stored)) {
        std::string shown;
        for (int column = 0; column < static_cast<int>(columns_.size()); ++column)
          shown += " " + model_->index(static_cast<int>(tracked_.size()) - 1, column).data().toString().toStdString();
        throw std::logic_error(name_ + ": grid row " + std::to_string(tracked_.size()) + " shows" + shown);
      }
    }
    for (int column = 0; column < static_cast<int>(columns_.size()); ++column)
      if (model_->readOnlyReason(column).isEmpty()) editable_.push_back(column);
    int step = 0;
    while (step < steps) {
      ++step_;
      ++step;
      const int roll = Below(100);
      if (roll < 52) {
        Edit(grid, failed);
      } else if (roll < 57) {
        GridDelete(grid, failed);
      } else if (roll < 60) {
        GridAdd(grid, failed);
      } else if (roll < 63) {
        if (GridPaste(grid, failed)) break;
      } else if (roll < 66 && last_) {
        GridUndo(grid, failed);
        break;
      } else if (roll < 80) {
        Update();
      } else if (roll < 90 && state_.size() > 3) {
        Delete();
      } else {
        Insert(Below(2) == 0);
      }
    }
    grid.setDataSource(nullptr);
    return step;
  }

 private:
  struct Column {
    std::string name, type;
    Kind kind;
  };
  struct Tracked {         // a row of the grid
    std::string handle;    // empty once the second connection deleted it
    Row seen;              // the exact values the grid last showed
    std::set<int> dirty;   // cells that connection changed since then
    bool touched = false;  // it wrote the row since then
    bool lost = false;     // the grid shows another row in its place: left alone
    std::string deleted;   // the handle it had when it was deleted
  };
  static Tracked ShownAs(const std::string& handle, const Row& seen) {
    Tracked row;
    row.handle = handle;
    row.seen = seen;
    return row;
  }
  struct Diff {
    std::vector<std::string> changed, removed, added;
    bool empty() const { return changed.empty() && removed.empty() && added.empty(); }
  };
  // The last change the grid saved, as an undo must take it back.
  struct Change {
    QString what;  // as the grid's menu names it
    struct RowChange {
      std::string was;            // the handle before; empty: the change added the row
      std::optional<Row> before;  // the exact values before
      std::string now;            // the handle after; empty: the change deleted the row
      std::optional<Row> after;
    };
    std::vector<RowChange> rows;
    std::vector<int> columns;  // written; empty: whole rows
  };

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  template <typename T>
  const T& Pick(const std::vector<T>& from) {
    return from[static_cast<std::size_t>(Below(static_cast<int>(from.size())))];
  }
  std::string Where(const std::string& handle) const {
    return postgres_ ? "ctid = " + Literal(handle) : "rowid = " + handle;
  }
  void Trace(const std::string& what) const {
    static const bool tracing = qEnvironmentVariableIntValue("QUORVANE_MODEL_TRACE") != 0;
    if (tracing) qDebug("%s step %d: %s", name_.c_str(), step_, what.c_str());
  }

  std::string Select() const {
    std::string exact, plain;
    for (const Column& column : columns_) {
      exact += ", " + (postgres_ ? Quoted(column.name) + "::text" : "quote(" + Quoted(column.name) + ")");
      plain += ", " + Quoted(column.name);
    }
    return std::string("SELECT ") + (postgres_ ? "ctid" : "rowid") + exact + plain + " FROM " + Quoted(name_);
  }
  std::pair<std::string, Stored> Parse(const Row& row) const {
    const auto middle = row.begin() + 1 + static_cast<long>(columns_.size());
    return {*row[0], {Row(row.begin() + 1, middle), Row(middle, row.end())}};
  }
  State Read() {
    State state;
    for (const auto& row : sql_.Query(Select())) state.insert(Parse(row));
    return state;
  }
  static Diff Compare(const State& before, const State& after) {
    Diff diff;
    for (const auto& [handle, stored] : before) {
      const auto found = after.find(handle);
      if (found == after.end())
        diff.removed.push_back(handle);
      else if (found->second.exact != stored.exact)
        diff.changed.push_back(handle);
    }
    for (const auto& [handle, stored] : after)
      if (!before.contains(handle)) diff.added.push_back(handle);
    return diff;
  }

  // Whether the grid shows the stored row: each cell as the driver hands
  // it out, or as a text that would store exactly that value.
  bool Shows(int row, const Stored& stored) {
    for (std::size_t column = 0; column < columns_.size(); ++column) {
      const QModelIndex index = model_->index(row, static_cast<int>(column));
      const bool isNull = index.data(ui::RecordsetModel::NullRole).toBool();
      if (isNull != !stored.plain[column]) return false;
      const std::string text = index.data().toString().toStdString();
      if (!isNull && text != *stored.plain[column] && StoredForm(column, text) != stored.exact[column]) return false;
    }
    return true;
  }

  // The exact stored form of a typed value, as the database itself makes
  // it; nothing when the column cannot hold it.
  std::optional<Cell> StoredForm(std::size_t column, const Cell& typed) {
    const std::string literal = typed ? Literal(*typed) : "NULL";
    const std::string probe = Quoted("probe_" + name_), name = Quoted(columns_[column].name);
    try {
      if (postgres_) return sql_.Scalar("SELECT CAST(" + literal + " AS " + columns_[column].type + ")::text");
      sql_.Exec("DELETE FROM " + probe);
      sql_.Exec("INSERT INTO " + probe + " (" + name + ") VALUES (" + literal + ")");
      return sql_.Scalar("SELECT quote(" + name + ") FROM " + probe);
    } catch (const std::runtime_error&) {
      return std::nullopt;
    }
  }

  // A row the table holds, mostly one the grid shows.
  std::string SomeRow() {
    std::vector<std::string> shown;
    for (const Tracked& row : tracked_)
      if (!row.handle.empty()) shown.push_back(row.handle);
    if (!shown.empty() && Below(5) > 0) return Pick(shown);
    return std::next(state_.begin(), Below(static_cast<int>(state_.size())))->first;
  }

  // A statement of the second connection, which may change the one row it
  // names at most; the diff, or nothing when the database refused it.
  std::optional<Diff> Other(const std::string& statement, int& count) {
    try {
      sql_.Exec(statement);
    } catch (const std::runtime_error&) {
      ++figures_.otherRefused;
      Trace("refused: " + statement);
      return std::nullopt;
    }
    Trace(statement);
    ++count;
    State after = Read();
    Diff diff = Compare(state_, after);
    if (diff.changed.size() + diff.removed.size() > 1 || diff.added.size() > 1)
      throw std::logic_error(name_ + ": \"" + statement + "\" changed more than one row");
    state_ = std::move(after);
    return diff;
  }

  void Update() {
    if (state_.empty()) return;
    const std::string handle = SomeRow();
    const Column& column = Pick(columns_);
    const Row before = state_.at(handle).exact;
    const auto diff = Other("UPDATE " + Quoted(name_) + " SET " + Quoted(column.name) + " = " +
                                Pick(ValuesOf(column.kind).sql) + " WHERE " + Where(handle),
                            figures_.updates);
    if (!diff) return;
    const std::string now = state_.contains(handle) ? handle : diff->added.at(0);  // a new ctid or rowid
    for (Tracked& row : tracked_) {
      if (row.handle != handle) continue;
      row.handle = now;
      row.touched = true;
      for (std::size_t index = 0; index < columns_.size(); ++index)
        if (state_.at(now).exact[index] != before[index]) row.dirty.insert(static_cast<int>(index));
    }
  }

  void Delete() {
    const std::string handle = SomeRow();
    if (!Other("DELETE FROM " + Quoted(name_) + " WHERE " + Where(handle), figures_.deletes)) return;
    for (Tracked& row : tracked_)
      if (row.handle == handle) row.deleted = std::exchange(row.handle, std::string());
  }

  // A copy of a row (a twin where nothing forbids it) or new values.
  void Insert(bool copy) {
    std::string values;
    for (const Column& column : columns_) values += (values.empty() ? "" : ", ") + Pick(ValuesOf(column.kind).sql);
    Other("INSERT INTO " + Quoted(name_) +
              (copy && !state_.empty() ? " SELECT * FROM " + Quoted(name_) + " WHERE " + Where(SomeRow())
                                       : " VALUES (" + values + ")"),
          figures_.inserts);
  }

  void Report(char anomaly, const QString& action, const QString& what) {
    ++figures_.found[static_cast<std::size_t>(anomaly - 'a')];
    figures_.anomalies
        << QString("%1 step %2, %3: (%4) %5").arg(name_.c_str()).arg(step_).arg(action).arg(anomaly).arg(what);
  }

  // The grid deletes one or two of the rows it shows, as selected whole:
  // exactly those rows, only while they hold what the grid showed, or
  // nothing at all.
  void GridDelete(ui::DataGrid& grid, QSignalSpy& failed) {
    std::vector<int> candidates;
    for (int row = 0; row < static_cast<int>(tracked_.size()); ++row)
      if (!tracked_[static_cast<std::size_t>(row)].lost &&
          model_->recordset()->RowReadOnlyReason(static_cast<std::size_t>(row)).empty())
        candidates.push_back(row);
    if (candidates.empty()) return;
    std::set<int> chosen{Pick(candidates), Pick(candidates)};
    grid.clearSelection();
    for (int row : chosen)
      grid.selectionModel()->select(model_->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    const State before = state_;
    failed.clear();
    QTest::keyClick(&grid, Qt::Key_Delete);
    const QString message = failed.isEmpty() ? QString() : failed.last().at(0).toString();
    state_ = Read();
    const Diff diff = Compare(before, state_);
    std::string rows;
    for (int row : chosen)
      rows += " " + std::to_string(row + 1) + " (" + tracked_[static_cast<std::size_t>(row)].handle + ")";
    Trace("grid deletes rows" + rows + ": " +
          (message.isEmpty() ? std::string("done") : message.left(160).toStdString()));
    const auto report = [&](char anomaly, const QString& what) {
      Report(anomaly, QString("grid deletes rows%1").arg(rows.c_str()), what);
    };
    bool untouched = true;  // no one wrote the chosen rows since the grid showed them
    std::set<std::string> meant;
    for (int row : chosen) {
      const Tracked& tracked = tracked_[static_cast<std::size_t>(row)];
      untouched = untouched && !tracked.touched && !tracked.handle.empty();
      meant.insert(tracked.handle);
    }
    if (message.isEmpty()) {
      ++figures_.gridDeleted;
      // A row shown twice is deleted once.
      last_ = Change{meant.size() == 1 ? "deleting a row" : QString("deleting %1 rows").arg(meant.size()), {}, {}};
      for (const std::string& handle : meant) {
        if (!before.contains(handle)) last_.reset();
        if (last_) last_->rows.push_back({handle, before.at(handle).exact, {}, {}});
      }
      for (int row : chosen) {
        const Tracked& tracked = tracked_[static_cast<std::size_t>(row)];
        if (tracked.handle.empty()) report('a', "deleted, but the second connection had deleted a row");
        if (!tracked.dirty.empty()) report('c', "deleted a row the second connection changed since the grid showed it");
      }
      if (std::set<std::string>(diff.removed.begin(), diff.removed.end()) != meant || !diff.changed.empty() ||
          !diff.added.empty())
        report('b', QString("the table lost %1 and changed %2 rows").arg(diff.removed.size()).arg(diff.changed.size()));
      for (auto row = chosen.rbegin(); row != chosen.rend(); ++row)
        tracked_.erase(tracked_.begin() + *row);
      // Grid rows that stood for a deleted row (shown twice) follow it.
      for (Tracked& row : tracked_)
        if (diff.removed.end() != std::ranges::find(diff.removed, row.handle))
          row.deleted = std::exchange(row.handle, std::string());
      return;
    }
    ++figures_.gridDeleteRefused;
    if (!diff.empty()) report('d', "refused, yet the table changed: " + message.left(160));
    if (untouched) report('e', "refused, but no one wrote those rows since the grid showed them: " + message.left(160));
    // The grid shows the row that stopped it anew: the chosen rows are not
    // followed any further.
    for (int row : chosen) tracked_[static_cast<std::size_t>(row)].lost = true;
  }

  // The grid adds a row with some cells typed: one insert of exactly one
  // row when the row is stored, nothing when it is refused.
  void GridAdd(ui::DataGrid& grid, QSignalSpy& failed) {
    if (editable_.empty()) return;
    if (!tracked_.empty()) grid.setCurrentIndex(model_->index(Below(static_cast<int>(tracked_.size())), 0));
    QTest::keySequence(&grid, QKeySequence(Qt::CTRL | Qt::Key_Insert));
    const int row = model_->newRowIndex();
    if (row < 0) return;
    std::string typed;
    for (int column : editable_) {
      if (Below(3) == 0) continue;
      const std::string text = Pick(ValuesOf(columns_[static_cast<std::size_t>(column)].kind).typed);
      model_->setData(model_->index(row, column), QString::fromStdString(text), Qt::EditRole);
      typed += " " + columns_[static_cast<std::size_t>(column)].name + "=" + text;
    }
    const State before = state_;
    failed.clear();
    const bool saved = grid.commitPendingEdit();
    const QString message = failed.isEmpty() ? QString() : failed.last().at(0).toString();
    state_ = Read();
    const Diff diff = Compare(before, state_);
    Trace("grid adds row " + std::to_string(row + 1) + typed + ": " +
          (saved ? std::string("saved") : message.left(160).toStdString()));
    const auto report = [&](char anomaly, const QString& what) {
      Report(anomaly, QString("grid adds a row:%1").arg(typed.c_str()), what);
    };
    if (!saved) {
      ++figures_.gridAddRefused;
      if (!diff.empty()) report('d', "refused, yet the table changed: " + message.left(160));
      QTest::keyClick(&grid, Qt::Key_Escape);
      if (model_->newRowIndex() >= 0) throw std::logic_error(name_ + ": Esc left the new row");
      return;
    }
    ++figures_.gridAdded;
    if (diff.added.size() != 1 || !diff.changed.empty() || !diff.removed.empty()) {
      report('b', QString("the table gained %1, changed %2 and lost %3 rows")
                      .arg(diff.added.size())
                      .arg(diff.changed.size())
                      .arg(diff.removed.size()));
      tracked_.insert(tracked_.begin() + row, ShownAs({}, {}));
      tracked_[static_cast<std::size_t>(row)].lost = true;
      return;
    }
    const std::string& added = diff.added.front();
    last_ = Change{"adding a row", {{{}, {}, added, state_.at(added).exact}}, {}};
    if (!Shows(row, state_.at(added))) report('a', "the grid does not show the row as stored");
    tracked_.insert(tracked_.begin() + row, ShownAs(added, state_.at(added).exact));
  }

  // The stored forms a typed text may take; an emptied cell holds the empty
  // text or NULL, as the column takes it. None: the column cannot hold it.
  // What the text may be stored as; std::nullopt: NULL.
  std::vector<Cell> FormsOf(std::size_t column, const Cell& text) {
    std::vector<Cell> forms;
    const std::vector<Cell> meant = !text              ? std::vector<Cell>{Cell()}
                                    : text->empty()    ? std::vector<Cell>{Cell(""), Cell()}
                                                       : std::vector<Cell>{text};
    for (const Cell& one : meant)
      if (const auto form = StoredForm(column, one)) forms.push_back(*form);
    return forms;
  }

  // The grid pastes a block of typed values over some of its rows: every
  // cell as typed, or nothing at all. True when it ends the session.
  bool GridPaste(ui::DataGrid& grid, QSignalSpy& failed) {
    if (editable_.empty() || tracked_.empty()) return false;
    const int height = 1 + Below(std::min(3, static_cast<int>(tracked_.size())));
    const int first = Below(static_cast<int>(tracked_.size()) - height + 1);
    const auto at = static_cast<std::size_t>(Below(static_cast<int>(editable_.size())));
    std::vector<int> columns{editable_[at]};
    if (at + 1 < editable_.size() && editable_[at + 1] == columns[0] + 1 && Below(2) == 0)
      columns.push_back(columns[0] + 1);
    for (int row = first; row < first + height; ++row)
      if (tracked_[static_cast<std::size_t>(row)].lost ||
          !(model_->flags(model_->index(row, columns[0])) & Qt::ItemIsEditable))
        return false;
    QList<QStringList> lines;
    std::vector<std::vector<std::vector<Cell>>> forms;  // of each row, of each column
    std::string typed;
    for (int row = first; row < first + height; ++row) {
      QStringList line;
      forms.emplace_back();
      for (int column : columns) {
        const auto c = static_cast<std::size_t>(column);
        const Values& values = ValuesOf(columns_[c].kind);
        const int roll = Below(12);
        const std::string text = roll < 1 && columns_[c].kind != Kind::Key ? std::string()
                                 : roll < 2 && !values.invalid.empty()     ? Pick(values.invalid)
                                                                           : Pick(values.typed);
        line << QString::fromStdString(text);
        // Pasted text's field NULL is NULL (the rule for text from other
        // programs); typed into a cell it is the word.
        forms.back().push_back(text == "NULL" ? FormsOf(c, std::nullopt) : FormsOf(c, text));
        typed += " " + columns_[c].name + "=" + text;
      }
      lines << line;
    }
    const State before = state_;
    QApplication::clipboard()->setText(ui::ToTabSeparated(lines));
    grid.setCurrentIndex(model_->index(first, columns[0]));
    failed.clear();
    QTest::keySequence(&grid, QKeySequence::Paste);
    const QString message = failed.isEmpty() ? QString() : failed.last().at(0).toString();
    state_ = Read();
    const Diff diff = Compare(before, state_);
    const QString action = QString("grid pastes from row %1:%2").arg(first + 1).arg(typed.c_str());
    Trace(action.toStdString() + ": " + (message.isEmpty() ? std::string("done") : message.left(160).toStdString()));
    const auto report = [&](char anomaly, const QString& what) { Report(anomaly, action, what); };
    if (!message.isEmpty()) {
      ++figures_.gridPasteRefused;
      if (!diff.empty()) report('d', "refused, yet the table changed: " + message.left(160));
      // The row that stopped it is shown anew: not followed any further.
      for (int row = first; row < first + height; ++row) tracked_[static_cast<std::size_t>(row)].lost = true;
      return false;
    }
    ++figures_.gridPasted;
    const int cells = height * static_cast<int>(columns.size());
    Change change{cells == 1 ? QString("paste of 1 cell") : QString("paste of %1 cells").arg(cells), {}, columns};
    std::set<std::string> reached;
    for (int line = 0; line < height; ++line) {
      const Tracked& tracked = tracked_[static_cast<std::size_t>(first + line)];
      const std::string& target = tracked.handle;
      if (target.empty()) {
        report('a', "pasted, but the second connection had deleted a row");
        return true;
      }
      // Where the row is now (a new ctid): it holds what was pasted, and
      // the rest as it was.
      const auto holdsPaste = [&](const Row& stored) {
        for (std::size_t c = 0; c < columns_.size(); ++c) {
          const auto pasted = std::ranges::find(columns, static_cast<int>(c));
          if (pasted == columns.end() ? stored[c] != before.at(target).exact[c]
                                      : std::ranges::find(forms[static_cast<std::size_t>(line)]
                                                               [static_cast<std::size_t>(pasted - columns.begin())],
                                                          stored[c]) == forms[static_cast<std::size_t>(line)]
                                                                           [static_cast<std::size_t>(pasted - columns.begin())]
                                                                               .end())
            return false;
        }
        return true;
      };
      std::string now;
      for (const std::string& handle : state_.contains(target) ? std::vector<std::string>{target} : diff.added)
        if (now.empty() && !reached.contains(handle) && holdsPaste(state_.at(handle).exact)) now = handle;
      if (now.empty()) {
        report('a', QString("pasted, but row %1 does not hold the pasted values").arg(first + line + 1));
        return true;
      }
      for (int column : columns)
        if (tracked.dirty.contains(column) && !tracked.seen.empty() &&
            before.at(target).exact[static_cast<std::size_t>(column)] != tracked.seen[static_cast<std::size_t>(column)])
          report('c', "pasted over a value the second connection wrote and the grid never showed");
      reached.insert(target);
      reached.insert(now);
      change.rows.push_back({target, before.at(target).exact, now, state_.at(now).exact});
    }
    for (const auto* handles : {&diff.changed, &diff.removed, &diff.added})
      for (const std::string& handle : *handles)
        if (!reached.contains(handle)) report('b', QString("row %1 changed too").arg(handle.c_str()));
    last_ = change;
    if (Below(2) == 0) GridUndo(grid, failed);
    return true;
  }

  // The grid undoes its last saved change: exactly its rows go back to what
  // they held, only while they hold what the grid wrote; else nothing
  // changes. Ends the session.
  void GridUndo(ui::DataGrid& grid, QSignalSpy& failed) {
    const Change change = *std::exchange(last_, std::nullopt);
    if (model_->undoName() != change.what)
      throw std::logic_error(name_ + ": the grid offers to undo \"" + model_->undoName().toStdString() +
                             "\", not \"" + change.what.toStdString() + "\"");
    const State before = state_;
    // The rows still hold what the grid wrote, whole: in the same version,
    // or (alike) a row holds those values.
    const auto holds = [&](const Change::RowChange& row) {
      return !row.after || (before.contains(row.now) && before.at(row.now).exact == *row.after);
    };
    const auto alike = [&](const Change::RowChange& row) {
      return !row.after ||
             std::ranges::any_of(before, [&](const auto& entry) { return entry.second.exact == *row.after; });
    };
    const bool untouched = std::ranges::all_of(change.rows, holds);
    failed.clear();
    QTest::keySequence(&grid, QKeySequence(Qt::CTRL | Qt::Key_Z));
    const QString message = failed.isEmpty() ? QString() : failed.last().at(0).toString();
    state_ = Read();
    const Diff diff = Compare(before, state_);
    const QString action = "grid undoes " + change.what;
    Trace(action.toStdString() + ": " + (message.isEmpty() ? std::string("done") : message.left(160).toStdString()));
    const auto report = [&](char anomaly, const QString& what) { Report(anomaly, action, what); };
    if (!message.isEmpty()) {
      ++figures_.gridUndoRefused;
      if (!diff.empty()) report('d', "refused, yet the table changed: " + message.left(160));
      if (untouched && message.contains("by someone else"))
        report('e', "says a row was changed, but the rows hold what the grid wrote: " + message.left(160));
      return;
    }
    ++figures_.gridUndone;
    if (!std::ranges::all_of(change.rows, alike)) {
      report('c', "undone, but the rows no longer held what the grid wrote");
      return;
    }
    // The rows as the change left them go; as they were before come back,
    // with the columns it wrote as they were.
    std::vector<Row> meantGone, meantBack, gone, back;
    for (const Change::RowChange& row : change.rows) {
      if (row.after) meantGone.push_back(*row.after);
      if (!row.before) continue;
      Row restored = *row.before;
      if (row.after && !change.columns.empty()) {
        restored = *row.after;
        for (int c : change.columns) restored[static_cast<std::size_t>(c)] = (*row.before)[static_cast<std::size_t>(c)];
      }
      meantBack.push_back(restored);
    }
    for (const auto* handles : {&diff.changed, &diff.removed}) for (const auto& h : *handles) gone.push_back(before.at(h).exact);
    for (const auto* handles : {&diff.changed, &diff.added}) for (const auto& h : *handles) back.push_back(state_.at(h).exact);
    if (!SameChange(meantGone, meantBack, gone, back, {}) && !SameChange(meantGone, meantBack, gone, back, key_))
      report('b', QString("%1 rows went and %2 came back, not the %3 and %4 of the change")
                      .arg(gone.size()).arg(back.size()).arg(meantGone.size()).arg(meantBack.size()));
  }

  // Whether two changes (rows gone, rows come) are the same, rows that went
  // and came back alike aside; `masked` columns aside too (a key the
  // database numbered anew).
  static bool SameChange(std::vector<Row> meantGone, std::vector<Row> meantBack, std::vector<Row> gone,
                         std::vector<Row> back, const std::vector<std::size_t>& masked) {
    const auto net = [&](std::vector<Row>& out, std::vector<Row>& in) {
      for (auto* rows : {&out, &in})
        for (Row& row : *rows)
          for (std::size_t c : masked) row[c].reset();
      std::ranges::sort(out);
      std::ranges::sort(in);
      std::vector<Row> onlyOut, onlyIn;
      std::ranges::set_difference(out, in, std::back_inserter(onlyOut));
      std::ranges::set_difference(in, out, std::back_inserter(onlyIn));
      out = std::move(onlyOut);
      in = std::move(onlyIn);
    };
    net(meantGone, meantBack);
    net(gone, back);
    return meantGone == gone && meantBack == back;
  }

  void Edit(ui::DataGrid& grid, QSignalSpy& failed) {
    if (editable_.empty()) return;
    const int column = Pick(editable_);
    const auto c = static_cast<std::size_t>(column);
    std::vector<int> rows;  // those the grid lets be edited (not those it knows deleted)
    for (int row = 0; row < static_cast<int>(tracked_.size()); ++row)
      if (model_->flags(model_->index(row, column)) & Qt::ItemIsEditable && !tracked_[std::size_t(row)].lost)
        rows.push_back(row);
    if (rows.empty()) return;
    const int row = Pick(rows);
    const QModelIndex index = model_->index(row, column);
    // Mostly a fit value, sometimes one the column may refuse, sometimes
    // nothing (but not for a key: SQLite numbers an emptied INTEGER PRIMARY
    // KEY anew); never what the cell shows already.
    const Values& values = ValuesOf(columns_[c].kind);
    const bool isNull = index.data(ui::RecordsetModel::NullRole).toBool();
    const QString shown = index.data(Qt::EditRole).toString();
    std::string text;
    for (int attempt = 0;; ++attempt) {
      if (attempt == 10) return;
      const int roll = Below(20);
      text = roll < 2 && columns_[c].kind != Kind::Key ? std::string()
             : roll < 5 && !values.invalid.empty()     ? Pick(values.invalid)
                                                       : Pick(values.typed);
      if (text.empty() ? !isNull && !shown.isEmpty() : isNull || shown != QString::fromStdString(text)) break;
    }
    const std::vector<Cell> expected = FormsOf(c, text);
    Tracked& tracked = tracked_[static_cast<std::size_t>(row)];
    const Tracked was = tracked;
    const std::string& target = was.handle;
    const State before = state_;

    failed.clear();
    const bool saved = Commit(grid, row, column, QString::fromStdString(text));
    const QString message = failed.isEmpty() ? QString() : failed.last().at(0).toString();
    Trace("grid row " + std::to_string(row + 1) + " (" + target + ") column " + columns_[c].name + " := \"" + text +
          "\": " + (saved ? std::string("saved") : message.left(160).toStdString()));
    if (!saved && message.isEmpty()) throw std::logic_error(name_ + ": the grid opened no editor");
    state_ = Read();
    const Diff diff = Compare(before, state_);
    const auto report = [&](char anomaly, const QString& what) {
      Report(anomaly,
             QString("grid row %1, column \"%2\" := %3").arg(row + 1).arg(columns_[c].name.c_str(), Text(text)), what);
    };

    // Where the edited row is now: a new ctid, or a new rowid where the
    // INTEGER PRIMARY KEY changed.
    std::string now = state_.contains(target) ? target : std::string();
    if (now.empty() && !target.empty()) {
      Row wanted = before.at(target).exact;
      for (const std::string& added : diff.added)
        for (const Cell& value : expected)
          if (wanted[c] = value; state_.at(added).exact == wanted) now = added;
      if (now.empty() && diff.added.size() == 1 && diff.removed.size() == 1) now = diff.added.front();
    }
    tracked.handle = now;
    // Another grid row that shows the same database row (found again by
    // its key) now shows an old version of it: the write is unseen there.
    if (saved && now != target)
      for (Tracked& other : tracked_)
        if (&other != &tracked && other.handle == target) {
          other.handle = now;
          other.touched = true;
          other.dirty.insert(column);
        }

    if (saved) {
      ++figures_.saved;
      if (target.empty()) {
        report('a', "saved, but the second connection had deleted the row");
      } else if (expected.empty()) {
        report('a', "saved, but the column cannot hold that value");
      } else if (now.empty()) {
        report('a', "saved, but the row is gone");
      } else {
        const Row& stored = state_.at(now).exact;
        if (std::ranges::find(expected, stored[c]) == expected.end())
          report('a', "saved, but the row holds " + Text(stored[c]) + ", not " + Text(expected.front()));
        for (std::size_t other = 0; other < columns_.size(); ++other)
          if (other != c && stored[other] != before.at(target).exact[other])
            report(was.dirty.contains(static_cast<int>(other)) ? 'c' : 'b',
                   QString("column \"%1\" changed too, from %2 to %3")
                       .arg(columns_[other].name.c_str(), Text(before.at(target).exact[other]), Text(stored[other])));
        // (A value changed and changed back is no unseen change: without
        // row versions nothing can tell, and nothing the user saw is lost.)
        if (was.dirty.contains(column) && stored[c] != before.at(target).exact[c] &&
            (was.seen.empty() || before.at(target).exact[c] != was.seen[c]))
          report('c', "saved over " + Text(before.at(target).exact[c]) +
                          ", which the second connection wrote and the grid never showed");
      }
      tracked.dirty.erase(column);
    } else {
      ++figures_.refused;
      if (!diff.empty()) report('d', "refused, yet the table changed: " + message.left(160));
      // A row no longer as read is found by its key: "changed" claims a row
      // holds the key now (the same row, or one that took its key), "no row
      // holds its key" the opposite. Without a key, "changed or deleted"
      // hedges, and a claim either way is checked by the row's handle.
      const bool hedged = message.contains("changed or deleted");
      const bool saysKeyGone = message.contains("no row holds its key");
      const bool saysChanged = message.contains("changed by someone else");
      const bool saysDeleted = message.contains("deleted by someone else");
      const auto holdsKey = [&](const Stored& stored) {
        return std::ranges::all_of(key_, [&](std::size_t k) { return stored.exact[k] == was.seen[k]; });
      };
      const bool keyHeld = !key_.empty() && !was.seen.empty() &&
                           std::ranges::any_of(state_, [&](const auto& entry) { return holdsKey(entry.second); });
      if (!key_.empty() && !was.seen.empty()) {
        if (saysKeyGone && keyHeld) report('e', "says no row holds its key, but one does: " + message.left(160));
        if (saysChanged && !keyHeld) report('e', "says the row was changed, but no row holds its key: " + message.left(160));
      } else if (!hedged) {
        if (saysDeleted && !target.empty())
          report('e', "says the row was deleted, but it is there: " + message.left(160));
        if (saysChanged && target.empty() && !before.contains(was.deleted))
          report('e', "says the row was changed, but it was deleted: " + message.left(160));
      }
      if (saysChanged && !target.empty() && !was.touched)
        report('e', "says the row was changed, but no one wrote it since the grid showed it: " + message.left(160));
      // The grid now shows the row that holds the key: the grid row stands
      // for that one from here on.
      if (saysChanged && keyHeld)
        for (const auto& [handle, stored] : state_)
          if (holdsKey(stored) && Shows(row, stored)) {
            tracked = ShownAs(handle, stored.exact);
            now = handle;
          }
      if (message.contains(" rows") && (message.contains("same values") || message.contains("would have changed"))) {
        const auto alike = std::ranges::count_if(before, [&](const auto& row) { return row.second.exact == was.seen; });
        if (alike < 2)
          report('e', QString("speaks of several rows alike, but %1 holds what the grid showed: %2")
                          .arg(alike)
                          .arg(message.left(160)));
      }
    }
    // Rows besides the edited one (reported when the edit said saved; a
    // refused edit that changed anything is (d) already). The grid shows
    // them elsewhere as they were: they are not followed any further.
    std::set<std::string> others(diff.changed.begin(), diff.changed.end());
    others.insert(diff.removed.begin(), diff.removed.end());
    others.insert(diff.added.begin(), diff.added.end());
    others.erase(target);
    others.erase(now);
    for (const std::string& handle : others) {
      if (saved) {
        report('b', QString("row %1 %2").arg(handle.c_str(), !before.contains(handle) ? "appeared"
                                                                : state_.contains(handle) ? "changed"
                                                                                          : "is gone"));
        tracked.lost = true;
      }
      for (Tracked& other : tracked_)
        if (other.handle == handle) {
          other = ShownAs(state_.contains(handle) ? handle : std::string(), {});
          other.touched = other.lost = true;
        }
    }
    if (saved)
      last_ = target.empty() || now.empty()
                  ? std::nullopt
                  : std::optional(Change{"cell edit", {{target, before.at(target).exact, now, state_.at(now).exact}},
                                         {column}});
    // Once the grid shows the row as stored, whatever the second connection
    // does is measured from here.
    if (!now.empty() && Shows(row, state_.at(now))) tracked = ShownAs(now, state_.at(now).exact);
  }

  support::DirectSql& sql_;
  bool postgres_;
  std::string name_;
  std::vector<Column> columns_;
  std::mt19937& random_;
  Figures& figures_;
  State state_;
  std::vector<Tracked> tracked_;
  std::vector<std::size_t> key_;  // primary key columns; empty without one
  std::string order_;             // of the rows in the grid
  std::vector<int> editable_;
  std::optional<Change> last_;
  ui::RecordsetModel* model_ = nullptr;
  int step_ = 0;
};

int Setting(const char* name, int otherwise) {
  return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : otherwise;
}

}  // namespace

class WriteModelTest : public QObject {
  Q_OBJECT
  Sources sources_{"Model"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
  }
  void cleanupTestCase() { sources_.Reset(); }

  void randomEditsAmongOtherWritersKeepTheModel_data() {
    QTest::addColumn<support::Driver>("driver");
    for (auto driver : {support::Driver::Sqlite, support::Driver::Postgres, support::Driver::PostgresPool})
      QTest::newRow(support::DriverName(driver)) << driver;
  }
  void randomEditsAmongOtherWritersKeepTheModel() {
    QFETCH(support::Driver, driver);
    const bool postgres = support::IsPostgres(driver);
    const QString source = sources_.Fresh(driver);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    const int seed = Setting("QUORVANE_MODEL_SEED", 20240611);
    const int steps = Setting("QUORVANE_MODEL_STEPS", 720);
    std::mt19937 random(static_cast<std::uint32_t>(seed));
    Figures figures;
    QStringList shapes;
    try {
      support::DirectSql sql(source);
      std::vector<std::unique_ptr<TableRun>> tables;
      for (const TableDesign& design : Tables()) {
        tables.push_back(std::make_unique<TableRun>(sql, postgres, design, random, figures));
        shapes << QString("%1 (%2)").arg(design.name, design.shape);
      }
      ui::DataGrid grid;
      grid.setConfirmation([](const QString&) { return true; });
      QSignalSpy failed(&grid, &ui::DataGrid::writeFailed);
      grid.show();
      for (int done = 0; done < steps;)
        for (auto& table : tables) {
          const int session = std::min(SessionSteps, steps - done);
          if (session > 0) done += table->Session(grid, failed, source, session);
        }
    } catch (const std::exception& failure) {
      QFAIL(failure.what());
    }
    qInfo("%s: seed %d, %d steps on %s; grid edits saved %d, refused %d; grid deletes done %d, refused %d; grid "
          "adds saved %d, refused %d; grid pastes done %d, refused %d; undos done %d, refused %d; second connection updates %d, deletes %d, inserts %d, refused %d; anomalies "
          "(a) %d (b) %d (c) %d (d) %d (e) %d",
          support::DriverName(driver), seed, steps, qPrintable(shapes.join(", ")), figures.saved, figures.refused,
          figures.gridDeleted, figures.gridDeleteRefused, figures.gridAdded, figures.gridAddRefused, figures.gridPasted,
          figures.gridPasteRefused, figures.gridUndone, figures.gridUndoRefused,
          figures.updates, figures.deletes, figures.inserts, figures.otherRefused, figures.found[0], figures.found[1],
          figures.found[2], figures.found[3], figures.found[4]);
    // The test log cuts a long failure message short: more go before it.
    for (const QString& anomaly : figures.anomalies.mid(0, 40)) qWarning("%s", qPrintable(anomaly));
    QStringList first;
    for (const QString& anomaly : figures.anomalies.mid(0, 4)) first << anomaly.left(220);
    QVERIFY2(figures.anomalies.isEmpty(), qPrintable(QString("%1 anomalies (seed %2), the first:\n  %3")
                                                         .arg(figures.anomalies.size())
                                                         .arg(seed)
                                                         .arg(first.join("\n  "))));
  }
};

QTEST_MAIN(WriteModelTest)
#include "tst_write_model.moc"

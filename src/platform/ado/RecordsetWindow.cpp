// A window over the rows of a table: places counted in the view's order,
// rows read where they are looked at and let go when far from it.
#include <algorithm>
#include <climits>

#include "AdoError.h"
#include "Recordset.h"
#include "RowCount.h"
#include "detail/OdbcConnection.h"
#include "detail/OdbcStatement.h"
#include "RecordsetState.h"
#include "detail/ResultReader.h"
#include "detail/StatementRows.h"
#include "detail/WaitedRead.h"
#include "detail/WindowQuery.h"
#include "detail/dialect/Dialect.h"

namespace ado {
namespace {

// More places than a grid can count are not guessed at.
constexpr std::size_t MostPlaces = INT_MAX / 2;
constexpr std::size_t MostRowsLeftOut = 2000;

}  // namespace

bool Recordset::CanReadAnywhere() const {
  return state_ && state_->read && !state_->read->orderKeys.empty();
}

std::optional<std::size_t> Recordset::EstimatedRowCount() {
  if (!CanReadAnywhere()) return std::nullopt;
  OpenState& state = *state_;
  std::vector<std::string> parameters;
  const std::string sql = EstimateQuery(*state.read, state.view, parameters);
  if (sql.empty()) return std::nullopt;
  try {
    long long guess = 0;
    if (state.read->plannedRows) {
      // Read with the table's plan, in the same round trip.
      guess = *state.read->plannedRows;
    } else {
      const std::vector<TextRow> rows = QueryRows(state.reading->Get(), sql, parameters);
      if (rows.empty() || rows[0].empty() || !rows[0][0]) return std::nullopt;
      guess = std::stoll(*rows[0][0]);
    }
    if (guess <= 0 || static_cast<unsigned long long>(guess) > MostPlaces) return std::nullopt;
    if (const std::optional<KeyRange> keys = GuessedKeyRange()) {
      // A table has no more rows than its key has values, and where the
      // guess comes near that, most likely every value is a row (the count
      // tells).
      KeepKeyRange(keys, false);
      if (const auto values = static_cast<long long>(keys->values()); values > 0 && guess * 10 >= values * 9)
        guess = std::min<long long>(values, static_cast<long long>(MostPlaces));
    }
    return static_cast<std::size_t>(guess);
  } catch (const Error& error) {
    // Without a guess the rows are read on from the start until counted,
    // on a fresh session where the server ended this one.
    state.reading->EndedBy(error);
    return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<KeyRange> Recordset::GuessedKeyRange() {
  OpenState& state = *state_;
  if (!IntegerOrderKeyCell() || !state.view.isDefault()) return std::nullopt;
  try {
    const std::vector<TextRow> range = QueryRows(state.reading->Get(), KeyRangeQuery(*state.read));
    if (range.empty() || range[0].size() < 2 || !range[0][0] || !range[0][1]) return std::nullopt;
    return KeyRange{std::stoll(*range[0][0]), std::stoll(*range[0][1])};
  } catch (const Error& error) {
    // The guess stands without it, on a fresh session where the server
    // ended this one.
    state.reading->EndedBy(error);
    return std::nullopt;
  }
}

std::unique_ptr<RowCount> Recordset::CountRows(std::function<void()> arrived) const {
  if (!CanReadAnywhere()) throw Error("The rows of this result cannot be counted.");
  const OpenState& state = *state_;
  ViewQuery query = BuildCountQuery(*state.read, state.view, IntegerOrderKeyCell().has_value());
  auto parameters = std::make_shared<BoundParameters>(std::move(query.parameters));
  // The connection stays while the count runs, whatever happens to this
  // recordset meanwhile.
  ConnectionPtr connection = state.connection;
  return std::make_unique<RowCount>([connection] { return connection->odbc().OpenAnother(); }, std::move(query.sql),
                                    std::move(parameters), std::move(arrived));
}

void Recordset::SetRowCount(std::size_t rows, bool exact, std::optional<KeyRange> keys) {
  OpenState& state = State();
  if (!CanReadAnywhere()) throw Error("The rows of this result can only be read from the start.");
  if (!state.rows->rowCountSet()) {
    // From now on rows are read where they are looked at, each read a
    // statement of its own: nothing stays open between reads.
    CompleteColumnsBeforeClose();
    state.reader.reset();
    state.statement.reset();
    state.readPaused = false;
    state.readOnPastRowsRead = false;
    state.insertedRowids.clear();
    if (!exact) rows = std::max(rows, state.rows->rowCount());
  }
  rows = std::min(rows, MostPlaces);
  if (exact) {
    // Rows read back from the end keep their distance from it.
    if (const auto [at, by] = TailShift(rows); by > 0) {
      state.rows->InsertPlaces(at, static_cast<std::size_t>(by));
      ShiftRows(at, by);
    } else if (by < 0) {
      DropRows(at + by, static_cast<std::size_t>(-by));
    }
    state.rows->ForgetTail();
  }
  if (const std::size_t before = state.rows->rowCount(); rows < before) ForgetRows(rows, before - rows);
  state.rows->SetRowCount(rows);
  state.rowCountExact = exact;
  if (!exact) return;
  KeepKeyRange(keys, keys && keys->values() == rows);
  SettleGuessedPlaces();
}

std::optional<int> Recordset::IntegerOrderKeyCell() const {
  const OpenState& state = *state_;
  if (!state.read || !ReadsByKeys(*state.read, state.view)) return std::nullopt;
  const std::vector<int> cells = state.read->dialect->OrderKeyCells(*state.read, state.visibleColumns());
  if (cells.size() != 1 || cells[0] < 0 || cells[0] >= static_cast<int>(state.columns.size())) return std::nullopt;
  if (!state.read->dialect->OrderKeyIsInteger(*state.read, state.columns[static_cast<std::size_t>(cells[0])]))
    return std::nullopt;
  return cells[0];
}

void Recordset::KeepKeyRange(const std::optional<KeyRange>& keys, bool dense) {
  OpenState& state = *state_;
  const std::optional<int> cell = IntegerOrderKeyCell();
  state.keyRange = cell ? keys : std::nullopt;
  state.keysDense = state.keyRange && dense;
  if (cell) state.rows->WatchKeyCells({*cell});
  state.keyRangeChanges = state.rows->placeChanges();
}

std::optional<Recordset::PlaceKey> Recordset::KeyAt(std::size_t place) const {
  const OpenState& state = *state_;
  if (!state.keyRange || state.rows->placeChanges() != state.keyRangeChanges) return std::nullopt;
  const KeyRange& keys = *state.keyRange;
  if (state.rowCountExact) {
    if (!state.keysDense) return std::nullopt;
    return PlaceKey{keys.low + static_cast<long long>(place), false};
  }
  // Spread over the range as the guess spreads the places.
  const std::size_t places = state.rows->rowCount();
  if (places < 2 || place >= places) return std::nullopt;
  const long double share = static_cast<long double>(place) / static_cast<long double>(places - 1);
  return PlaceKey{keys.low + static_cast<long long>(share * static_cast<long double>(keys.high - keys.low)), true};
}

void Recordset::SettleGuessedPlaces() {
  OpenState& state = *state_;
  const std::optional<int> cell = IntegerOrderKeyCell();
  const auto keyOf = [&](const RowCache& page, std::size_t row) -> std::optional<long long> {
    const CellView view = page.cell(row, *cell);
    if (view.isNull) return std::nullopt;
    try {
      return std::stoll(std::string(view.text));
    } catch (const std::exception&) {
      return std::nullopt;
    }
  };
  const auto gone = state.rows->SettleGuessed([&](std::size_t first, const RowCache& page) {
    if (!state.keysDense || !KeyAt(first) || page.rowCount() == 0) return false;
    const std::size_t last = page.rowCount() - 1;
    return keyOf(page, 0) == KeyAt(first)->key && keyOf(page, last) == KeyAt(first + last)->key;
  });
  for (const auto& [first, count] : gone) ForgetRows(first, count);
}

std::pair<std::size_t, std::ptrdiff_t> Recordset::TailShift(std::size_t rows) const {
  if (!state_ || state_->rowCountExact || !state_->rows->tailFrom()) return {};
  const std::size_t at = *state_->rows->tailFrom(), before = state_->rows->rowCount();
  if (rows >= before) return {at, static_cast<std::ptrdiff_t>(rows - before)};
  // Fewer rows: the places before those read from the end go; any still
  // too many go from the end.
  return {at, -static_cast<std::ptrdiff_t>(std::min(at, before - rows))};
}

bool Recordset::rowCountKnown() const {
  if (!state_) return false;
  return state_->rowCountExact || (!state_->rows->rowCountSet() && allRowsFetched());
}

bool Recordset::windowed() const { return state_ && state_->rows->rowCountSet(); }

bool Recordset::rowHeld(std::size_t row) const { return state_ && state_->rows->held(row); }

std::size_t Recordset::heldRows() const { return state_ ? state_->rows->heldRows() : 0; }

std::optional<std::vector<std::string>> Recordset::OrderKeysOf(std::size_t row) const {
  if (state_->marks.added.contains(row)) return std::nullopt;
  return KeysOf(row);
}

std::optional<std::vector<std::string>> Recordset::KeysOf(std::size_t row) const {
  const OpenState& state = *state_;
  const TableRead& read = *state.read;
  if (!state.rows->held(row) || read.orderKeys.empty()) return std::nullopt;
  const std::vector<int> cells = read.dialect->OrderKeyCells(read, state.visibleColumns());
  if (cells.size() != read.orderKeys.size()) return std::nullopt;
  std::vector<std::string> keys;
  for (int column : cells) {
    const CellView view = state.rows->cell(row, column);
    if (view.isNull) return std::nullopt;
    keys.emplace_back(view.text);
  }
  return keys;
}

std::vector<std::pair<std::size_t, std::vector<std::string>>> Recordset::WrittenRowsHeld() const {
  const OpenState& state = *state_;
  std::set<std::size_t> places = state.marks.written;
  places.insert(state.marks.added.begin(), state.marks.added.end());
  // Rows shown gone hold places the database no longer has rows for.
  places.insert(state.marks.deleted.begin(), state.marks.deleted.end());
  std::vector<std::pair<std::size_t, std::vector<std::string>>> rows;
  // Beyond so many the rows are read as if unwritten: each left out costs
  // the read a comparison per row.
  if (places.size() > MostRowsLeftOut) return rows;
  for (std::size_t place : places)
    if (auto keys = KeysOf(place)) rows.emplace_back(place, std::move(*keys));
  return rows;
}

std::pair<std::size_t, std::size_t> Recordset::ReadRows(std::size_t first, std::size_t count, bool sure) {
  OpenState& state = State();
  if (!state.rows->rowCountSet()) {
    FetchUntil(first + count - 1);
    return {};
  }
  const std::size_t total = state.rows->rowCount();
  std::size_t end = std::min(total, first + count);
  while (first < end && state.rows->held(first)) ++first;
  while (end > first && state.rows->held(end - 1)) --end;
  if (first >= end) return {};
  // Places counted from the end and places counted from the start are read
  // apart; the rest is read when asked for again.
  const std::optional<std::size_t> tail = state.rows->tailFrom();
  if (tail && first < *tail && end > *tail) end = *tail;
  // Rows written here keep their places, where the view may now put them
  // elsewhere: a read leaves them out and counts places without them, and
  // stops short of one among the places it reads.
  WindowStart start;
  std::vector<std::size_t> written;
  for (auto& [place, keys] : WrittenRowsHeld()) {
    written.push_back(place);
    start.leaveOut.push_back(std::move(keys));
  }
  if (const auto inside = std::ranges::upper_bound(written, first); inside != written.end() && *inside < end)
    end = *inside;
  const auto writtenBefore = [&](std::size_t place) {
    return static_cast<std::size_t>(std::ranges::lower_bound(written, place) - written.begin());
  };
  const auto neighbourKeys = [&](std::size_t place) {
    return std::ranges::binary_search(written, place) || (sure && state.rows->guessed(place)) ? std::nullopt
                                                                                              : OrderKeysOf(place);
  };

  // From the nearest row held, where the order's keys allow; else from the
  // place's key on the key's index, where the key's range tells it (rows
  // where a guess put them are guessed as well); else by skipping rows from
  // the nearer end. While the number of rows is a guess, rows counted from
  // the end are read from the end.
  bool fromTail = tail && first >= *tail;
  bool guessed = false;
  const bool byKeys = ReadsByKeys(*state.read, state.view);
  std::optional<PlaceKey> placeKey = !fromTail && end < total ? KeyAt(first) : std::nullopt;
  if (placeKey && sure && placeKey->guessed) placeKey.reset();
  if (auto keys = byKeys && first > 0 && (!tail || first != *tail) ? neighbourKeys(first - 1) : std::nullopt) {
    start.afterKeys = std::move(keys);
    guessed = state.rows->guessed(first - 1);
  } else if (auto after = byKeys && end < total ? neighbourKeys(end) : std::nullopt) {
    start.afterKeys = std::move(after);
    start.fromEnd = true;
    fromTail = tail && end >= *tail;
    guessed = state.rows->guessed(end);
  } else if (placeKey) {
    start.fromKeys = std::vector<std::string>{std::to_string(placeKey->key)};
    guessed = placeKey->guessed;
  } else if (state.rowCountExact ? total - end < first : fromTail || (!tail && end == total)) {
    start.fromEnd = true;
    start.skip = total - end - (written.size() - writtenBefore(end));
    fromTail = !state.rowCountExact;
  } else {
    start.skip = first - writtenBefore(first);
  }
  const std::size_t wanted = end - first;
  RowCache page(static_cast<int>(state.columns.size()), state.rows->cut());
  const auto read = [&] {
    try {
      ReadPage(start, wanted, page);
    } catch (const Error& error) {
      // The server ended the session: the same rows once more, on a fresh
      // one.
      if (ReadStopped(error) || !state.reading->EndedBy(error)) throw;
      page = RowCache(static_cast<int>(state.columns.size()), state.rows->cut());
      try {
        ReadPage(start, wanted, page);
      } catch (const Error& again) {
        if (ReadStopped(again)) throw;
        state.reading->EndedBy(again);
        throw CutShort(again);
      }
    }
  };
  read();
  if (start.fromKeys && page.rowCount() < wanted) {
    // The keys ran out before the places did: the guess spread them wrong.
    // These rows are found by skipping those before them instead.
    start.fromKeys.reset();
    start.skip = first - writtenBefore(first);
    guessed = false;
    page = RowCache(static_cast<int>(state.columns.size()), state.rows->cut());
    read();
  }
  const std::size_t got = std::min(page.rowCount(), wanted);
  if (start.fromEnd) {
    RowCache forward(page.columnCount(), page.cut());
    for (std::size_t row = got; row > 0; --row)
      forward.InsertRow(forward.rowCount(), page.Row(row - 1), page.WholeSizes(row - 1));
    page = std::move(forward);
  }
  const std::size_t at = start.fromEnd ? end - got : first;
  ForgetRows(at, got);
  if (got > 0) state.rows->Put(at, page, guessed);
  if (fromTail && got > 0) state.rows->MarkTail(at);
  if (got == wanted) return {};
  return start.fromEnd ? std::make_pair(first, wanted - got) : std::make_pair(first + got, wanted - got);
}

void Recordset::ReadPage(const WindowStart& start, std::size_t rows, RowCache& page) {
  OpenState& state = *state_;
  OdbcConnection& connection = state.reading->Get();
  ViewQuery query = BuildWindowQuery(*state.read, state.view, start, rows);
  OdbcStatement statement(connection);
  query.parameters.BindTo(statement);
  RunWaitedRead(statement, [&] {
    statement.ExecDirect(query.sql);
    ResultReader reader(statement, state.columns, connection.facts().blockGetData);
    while (page.rowCount() < rows && reader.ReadBlock(page) > 0) {
    }
  }, "Reading rows there was stopped; they are read again when the table is refreshed (F5).");
}

void Recordset::KeepRows(std::size_t first, std::size_t last) {
  RequireOpen();
  if (!state_->rows->rowCountSet()) return;
  for (const auto& [start, count] : state_->rows->KeepOnly(first, last)) ForgetRows(start, count);
}

void Recordset::ForgetRows(std::size_t first, std::size_t count) {
  state_->marks.Forget(first, count);
  state_->journal.Drop(first, count);
}

}  // namespace ado

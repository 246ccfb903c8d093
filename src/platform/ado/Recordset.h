#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AdoError.h"
#include "CellView.h"
#include "ColumnInfo.h"
#include "ColumnNotes.h"
#include "Connection.h"
#include "KeyRange.h"
#include "RowView.h"
#include "Value.h"

namespace ado {

enum CursorType { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockType { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };

class RowCache;
class RowCount;
class TableWriter;
class OdbcStatement;
class RenewableSession;
struct WindowStart;
class ResultReader;
struct TableRead;
struct CellChange;
class WriteError;
class WriteFailure;
class References;
struct HeldRow;
using StoredRow = std::vector<std::optional<std::string>>;

// A result set over an open connection, shared-owned. It keeps its
// connection alive. Rows are fetched in blocks and kept in a compact cache,
// lazily: FetchMore reads only as many rows as asked for.
class Recordset : public std::enable_shared_from_this<Recordset> {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // The table the next Open reads, by its name. A writable recordset on a
  // known table reads, besides the table's columns, what finds each row
  // again exactly; without one nothing can be written.
  void setTable(const std::string& name);

  // Runs the query on the connection. With a client-side connection and
  // lock type optimistic, cells can be written with UpdateCell.
  void Open(const std::string& source, const ConnectionPtr& activeConnection, int cursorType,
            int lockType);
  void Close();
  bool isOpen() const;

  // Which rows Open reads and in what order, for a table set by setTable;
  // the database finds, filters and sorts them.
  void setView(RowView view) { view_ = std::move(view); }
  const RowView& view() const { return view_; }
  // Reads the table again from the start, under the current view. The rows
  // read so far go; the changes written stay, and so does their undo
  // history.
  // Where the new read fails (or is stopped), everything stays as it was.
  void Requery();
  // A filter on the cell's value, exactly as stored.
  RowView::ValueFilter ValueFilterOf(std::size_t row, int column, bool keep) const;
  // What names a cached row in its table; empty where nothing does.
  std::string RowIdentity(std::size_t row) const;
  // The cached row with that identity, reading up to `limit` rows to find
  // it.
  std::optional<std::size_t> FindRow(const std::string& identity, std::size_t limit);
  // Whether the database sorts NULL before every value (ascending).
  bool NullsSortFirst() const;

  // Navigation over the rows, fetching as needed. Named so because EOF is a
  // macro of the C library.
  bool Eof();
  void MoveNext();

  // Field values of the current row, by column name or by position.
  Value FieldValue(std::string_view name);
  Value FieldValue(int index);

  int fieldCount() const;
  // Everything known of a column. The facts that only writing needs
  // (nullability, updatability, auto-numbering, base names) are asked for
  // on first use, as some drivers look them up in their catalogue.
  const ColumnInfo& column(int index);
  // What is known of a column without asking the data source anything more:
  // at least its name, type and size.
  const ColumnInfo& knownColumn(int index) const;

  // Per visible column, what the table's catalogue says of it (its key,
  // its default): asked anew on each call; empty notes where it says nothing.
  std::vector<ColumnNotes> CatalogNotes();

  // What a grid binds to.
  std::shared_ptr<Recordset> DataSource();

  // The row cache, for a grid.
  std::size_t rowCount() const;  // rows fetched so far
  bool allRowsFetched() const;
  std::size_t FetchMore(std::size_t rows);  // returns how many rows were added
  CellView cell(std::size_t row, int column) const;
  // A write found the row gone: deleted, its key changed, or (in a table
  // without a key) changed beyond finding. It stays in the cache, marked.
  bool rowDeleted(std::size_t row) const;
  // A row changed here that the view's find or filters would no longer
  // show; it stays in view, marked, until the rows are read anew.
  void SetRowUnmatched(std::size_t row, bool unmatched);
  bool rowUnmatched(std::size_t row) const;
  // Counts the times the rows were read anew from the start, because
  // another program wrote while the read was paused for a write: a view
  // shows them afresh then.
  std::size_t generation() const;

  // A window over the rows of a table read: every row has its place in the
  // view's order, and only the rows near what is looked at are held.
  // Whether the rows can be counted and read at any place.
  bool CanReadAnywhere() const;
  // The number of rows the database's catalogue guesses, cheaply; none
  // where it has nothing to go by.
  std::optional<std::size_t> EstimatedRowCount();
  // Counts the rows of the view in the background; `arrived` runs on the
  // counting thread.
  std::unique_ptr<RowCount> CountRows(std::function<void()> arrived) const;
  // Every place up to `rows` becomes a row, read when asked for, and the
  // read from the start ends. `exact`: the count, not a guess, so that rows
  // can be read from the end backwards; `keys`: the range of the one
  // integer order key counted with it (see RowCount), by which a place's
  // rows are read from its key, and rows read where a guess put them keep
  // their places or go.
  void SetRowCount(std::size_t rows, bool exact, std::optional<KeyRange> keys = {});
  // How the places move when the count `rows` settles a guess: (at, by),
  // places put before `at` (by > 0) or taken from before it (by < 0); the
  // rest of any difference is made at the end.
  std::pair<std::size_t, std::ptrdiff_t> TailShift(std::size_t rows) const;
  bool rowCountKnown() const;
  // Whether rows are held by place (SetRowCount was called).
  bool windowed() const;
  bool rowHeld(std::size_t row) const;
  // Reads the rows [first, first + count) that are not held. Where the
  // database has fewer rows there than places (rows deleted meanwhile, or
  // the guess was high), returns the places left without a row, as
  // (first, count), for DropRows. `sure`: at the rows' own places, also
  // before the count, where they may be read elsewhere than the guess puts
  // them (see RowWindow) only to settle there when the count arrives.
  std::pair<std::size_t, std::size_t> ReadRows(std::size_t first, std::size_t count, bool sure = false);
  // Lets go of held rows outside [first, last]; they are read again when
  // looked at.
  void KeepRows(std::size_t first, std::size_t last);
  std::size_t heldRows() const;
  // The bytes the held rows take.
  std::size_t heldBytes() const;

  // The whole value of a cell held cut (see CellView::cut), read again by
  // its row's identity, or the value held. Raises Error, and shows what the
  // database holds for the row, when the row is no longer as it was read.
  std::string WholeValue(std::size_t row, int column);

  // The table the rows come from, as set by setTable.
  const std::string& tableName() const { return table_; }
  // Empty when rows can be added to and deleted from the table, otherwise
  // why not. Prepares writes like ReadOnlyReason.
  std::string TableReadOnlyReason();
  // Why the row cannot be changed (gone, or added here and not found
  // again); empty when it can.
  std::string RowReadOnlyReason(std::size_t row) const;
  // Deletes cached rows from the database, exactly as they were read, all
  // or none; they stay cached until DropRows. Raises WriteError (with
  // failedRow() the index into `rows` of the row that stopped it, which
  // then shows what the database holds) when nothing was deleted.
  void DeleteRows(const std::vector<std::size_t>& rows);
  void DropRows(std::size_t first, std::size_t count);
  // Adds a row with the given cells (column, value) and the database's
  // defaults for the rest, and puts it in the cache before row `at` as the
  // database stored it. Returns why it cannot be changed, empty when it
  // can. Raises WriteError when the database refused it.
  std::string InsertRow(std::size_t at, const CellValues& cells);
  // Cells of cached rows, and new rows put in the cache from `newAt` on,
  // written as one: all or none, each row exactly as read. Raises WriteError
  // (failedRow() counts `rows`, then `newRows`) when nothing was written.
  // The undo journal names the change "paste of 12 cells", or with
  // `named` "<named> 12 cells" ("emptying 12 cells").
  void WriteCells(const std::vector<std::pair<std::size_t, CellValues>>& rows, const std::vector<CellValues>& newRows,
                  std::size_t newAt, const std::string& named = {});
  // Writes one cell of a cached row to the database: exactly that row, as
  // it was read, or nothing (see TableWriter). On success the cached row is
  // replaced by what the database stored. Raises Error (and leaves the cache
  // showing what the database holds for that row, where that is known) when
  // the write is refused or finds the row changed or gone. std::nullopt
  // writes NULL.
  void UpdateCell(std::size_t row, int column, const std::optional<std::string>& value);

  // The changes written through this recordset, undone and redone by
  // inverse writes that are checked like any write: only while the rows
  // hold what was written to them, else nothing is done and those rows show
  // what the database holds. What Undo (Redo) would do, as a menu names it
  // ("paste of 12 cells"); empty when nothing.
  std::string UndoName() const;
  std::string RedoName() const;
  // Cached rows an undo or redo changed, added (put in the cache) and
  // removed from the table (still cached, until DropRows); ascending.
  struct Reverted {
    std::vector<std::size_t> changed;
    std::vector<std::size_t> added;
    std::vector<std::size_t> removed;
  };
  // Raise WriteError when nothing was done.
  Reverted Undo();
  Reverted Redo();

  // What deleting the cached rows takes with it: the rows of the table the
  // database deletes with them (ON DELETE CASCADE of a key of the table to
  // itself), counted; and whether it may change other rows (ON DELETE SET
  // NULL or SET DEFAULT, a trigger), which cannot be counted.
  struct DeleteReach {
    std::size_t taken = 0;
    bool changesOthers = false;
  };
  DeleteReach ReachOfDelete(const std::vector<std::size_t>& rows);
  // The cached rows the last write changed beyond those it named (a
  // cascade, a trigger): changed, which the cache holds as they are now,
  // and gone from the table, still cached until DropRows; ascending. Each
  // is told once.
  struct RowsBeyond {
    std::vector<std::size_t> changed;
    std::vector<std::size_t> gone;
    // Cells of a paste the database stored with their old values (a
    // trigger kept them), as a message; empty: none.
    std::string kept;
  };
  RowsBeyond TakeRowsBeyond();

  // What an emptied cell of the column stores: the empty text where the
  // column holds text, NULL everywhere else.
  std::optional<std::string> EmptiedValue(int column) const;

  // The rows the table's foreign keys reference (learned as it opened);
  // none for a result that is no table.
  std::shared_ptr<References> references();

  // Empty when the column can be edited, otherwise why not. The first call
  // on a writable recordset prepares its writes, which may ask the data
  // source about the table.
  std::string ReadOnlyReason(int column);
  // The reason known without asking the data source anything: empty also
  // while writes have not been prepared yet.
  std::string KnownReadOnlyReason(int column) const;

  // Takes over a statement whose result is ready (the connection's schema
  // rowsets use it). `names`, when given, replace the driver's column names.
  void OpenResult(std::unique_ptr<OdbcStatement> statement, const ConnectionPtr& connection,
                  const std::vector<std::string>& names = {});

 private:
  struct OpenState;

  void RequireOpen() const;
  OpenState& State() const;
  // Open's work on the given reading session.
  void OpenOn(const std::shared_ptr<RenewableSession>& reading, const ConnectionPtr& activeConnection, bool writable);
  // Where a read from the start can go on after the last row read, in the
  // table's order; none where the order does not tell.
  std::optional<WindowStart> StartAfterLastRow() const;
  // Opens the read from the start anew, from `start` on, of `rows` rows at
  // most (SIZE_MAX: every row).
  void OpenReadFrom(const WindowStart& start, std::size_t rows = SIZE_MAX);
  // The server ended the read from the start: it goes on after the last row
  // read, once, on a fresh session. Raises ReadCutShort where it cannot.
  void ReadOnAfterEnd(const Error& cause);
  // Closes an unfinished read that holds a server transaction open (the
  // PostgreSQL driver's cursor), where it can go on after its last row:
  // between the user's looks no pooled session stays taken.
  void CloseReadBetweenLooks();
  // The message of a read the server ended that could not go on: how many
  // rows are shown.
  ReadCutShort CutShort(const Error& cause) const;
  // Reads up to `rows` rows of the view from `start` into `page`.
  void ReadPage(const WindowStart& start, std::size_t rows, RowCache& page);
  // Whether the view is ordered by one key of integers, in the table's own
  // order; its cell in a row read.
  std::optional<int> IntegerOrderKeyCell() const;
  // The range of that key, asked of the database with a guess (none where
  // the rows are not so ordered, or the question failed), and taken, with
  // the window's place changes.
  std::optional<KeyRange> GuessedKeyRange();
  void KeepKeyRange(const std::optional<KeyRange>& keys, bool dense);
  // The key a place's row has or, while the rows are guessed, would have
  // (`guessed`), where the key's range tells it.
  struct PlaceKey {
    long long key;
    bool guessed;
  };
  std::optional<PlaceKey> KeyAt(std::size_t place) const;
  // After the count: rows read where a guess put them stay where the
  // count's key range says they belong; the others go, to be read again
  // there.
  void SettleGuessedPlaces();
  void Adopt(std::unique_ptr<OdbcStatement> statement, const ConnectionPtr& connection,
             const std::vector<std::string>& names, int hiddenColumns, const std::vector<ColumnInfo>& packed = {});
  void CompleteColumns();
  void CompleteColumnsBeforeClose();
  TableWriter* Writer();
  int ColumnIndex(std::string_view name) const;
  bool FetchUntil(std::size_t row);
  void ReadNextBlock();
  // Before a write on a data source where an unfinished read blocks writers:
  // closes the read where it can be resumed exactly, else reads it to the end.
  void ReleaseReadLock(int editedColumn);
  // Before another read of the same session replaces this one.
  void PauseForAnotherRead();
  void PauseRead();
  // Reads the next block of the read from the start; one that asked for
  // its first rows only pauses where it handed all of them over.
  void ReadStartBlock();
  std::vector<std::optional<std::string>> CachedRow(std::size_t row) const;
  // The cached row with its cut cells read whole, for a write or a copy
  // that needs the whole row as read; the cache keeps holding them cut.
  // Raises WriteError from `failure` (the row shown as the database holds
  // it) when the row is no longer as it was read.
  StoredRow WholeRow(std::size_t row, const WriteFailure& failure);
  // The same for a row as held (the undo journal's), raising without
  // showing anything.
  StoredRow WholeOf(const HeldRow& held, const WriteFailure& failure);
  // The cached row replaced by what the database stored or holds now.
  void PutStoredRow(std::size_t row, const std::vector<std::optional<std::string>>& stored);
  // After a refused write: the row as the database holds it, or marked gone.
  void ShowRowNow(std::size_t row, const WriteError& error);
  static std::vector<CellChange> Changes(const CellValues& cells);
  void PutNewRow(std::size_t at, const std::vector<std::optional<std::string>>& row, const std::string& unidentified);
  // Moves the per-row marks of rows from `from` on by `by` rows.
  void ShiftRows(std::size_t from, std::ptrdiff_t by);
  void ResumeRead();
  Reverted Revert(bool undo);
  // A cell of a row as stored, to give back to the database exactly.
  CellChange ExactCell(const StoredRow& row, int column) const;
  std::vector<CellChange> InsertCells(const StoredRow& row, bool numbered);
  // The values of the row's order keys, where a read can go on from it.
  std::optional<std::vector<std::string>> OrderKeysOf(std::size_t row) const;
  // The values of the keys that name the row in the view's reads, added
  // rows too.
  std::optional<std::vector<std::string>> KeysOf(std::size_t row) const;
  // Rows written, added or shown gone here and held, with their keys, in
  // place order.
  std::vector<std::pair<std::size_t, std::vector<std::string>>> WrittenRowsHeld() const;
  // After a write that named the cached rows `meant` (deleting, updating,
  // adding rows), where the table's keys to itself or its triggers may have
  // reached other rows: the held rows they may have reached are read again
  // (see RowsBeyond). Costs nothing on a table without such effects.
  void LookBeyond(const std::vector<std::size_t>& meant, bool deletes, bool updates, bool inserts);
  // What deleting the rows takes with it (see RecordsetState.h).
  struct Taking;
  Taking TakenWith(const std::vector<StoredRow>& originals);
  // Whether the database stored the row with the cell's old value instead
  // of the change's (a BEFORE UPDATE trigger kept it).
  bool KeptOldValue(const StoredRow& original, const StoredRow& stored, const CellChange& change) const;
  // The cells of the cached row `row` a paste wrote that the database kept
  // the old values of, into RowsBeyond::kept.
  void NoteKeptValues(std::size_t row, const StoredRow& original, const StoredRow& stored,
                      const std::vector<CellChange>& changes);
  // Per-row marks and undo places of rows no longer held.
  void ForgetRows(std::size_t first, std::size_t count);
  // What names a row (see RowIdentity), from its cells.
  std::string IdentityOf(const std::function<CellView(int)>& cellOf) const;
  // The held row named by the row's identity cells, where one is held.
  std::optional<std::size_t> HeldPlaceOf(const StoredRow& row) const;

  std::string table_;
  RowView view_;
  // What the last Open was given, for Requery.
  std::string source_;
  int cursorType_ = adOpenForwardOnly;
  int lockType_ = adLockReadOnly;
  std::unique_ptr<OpenState> state_;
  // The session of the reads, from a Requery to the Open it does.
  std::shared_ptr<RenewableSession> carriedReading_;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

}  // namespace ado

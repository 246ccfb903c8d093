#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <optional>
#include <string>

#include "ClipboardCells.h"
#include "platform/ado/Recordset.h"
#include "platform/ado/RowCount.h"

namespace ui {

class LockWait;

// The rows of a recordset as a Qt table model. A small result is read from
// its start a block at a time; a table read at any place has a place for
// every row, and the rows are read where they are looked at (a place not
// read yet shows blank until its block arrives, after the event loop's
// turn). data() reads the recordset's cache, except the edit and copy text
// of a value held cut, which is read whole from the database. A cell edit
// is written through the recordset at once; a refused write is kept and
// announced, never shown by the model itself.
class RecordsetModel final : public QAbstractTableModel {
  Q_OBJECT
 public:
  // Marks the value of setData as NULL instead of the text it carries.
  static constexpr int NullRole = Qt::UserRole + 1;
  // The text a copy of the cell takes: the whole value, where the cell
  // shows only its beginning.
  static constexpr int CopyRole = Qt::UserRole + 2;
  static constexpr int FetchBlockRows = 256;
  // More rows than a grid shows at once.
  static constexpr std::size_t ScreenfulRows = 100;

  explicit RecordsetModel(ado::RecordsetPtr recordset, QObject* parent = nullptr);

  const ado::RecordsetPtr& recordset() const { return recordset_; }
  // Where the writes wait for locks other sessions hold; while one waits,
  // no further rows are read.
  LockWait* lockWait() const { return lockWait_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // Makes the last row reachable, as a jump to it needs: every place the
  // views are told of where the rows have places (a guess of their number
  // stands until the count; the last rows are then read back from the
  // end); else the count, waited for where the table can be read at any
  // place; else every remaining row read.
  void fetchAll();
  // Rows at any place of a large table: the rows are counted in the
  // background (a guess from the catalogue stands in meanwhile), every row
  // then has its place, and the rows looked at are read where they are,
  // after the event loop's turn; rows far from them are let go.
  static constexpr int WindowBlockRows = 256;
  static constexpr std::size_t KeptRows = 8192;
  // The count starts once a view has painted the first rows (see
  // viewPainted); without a view that paints, this long after the window
  // opened.
  static constexpr int CountWithoutPaintMilliseconds = 250;
  // Rows read from the start between turns of the event loop, and how long
  // a turn waits, while a jump to the end reads or waits for the count.
  static constexpr std::size_t StepRows = 4096;
  static constexpr int CountWaitStepMilliseconds = 50;
  // How soon rows looked at during a write are read after it.
  static constexpr int WriteRetryMilliseconds = 50;
  // Opens the window where the table is larger than the rows read so far;
  // also done after the event loop's turn that follows the first read.
  void openWindow();
  // A view has painted the rows: a count the window waits to start goes
  // now, after the paint.
  void viewPainted();
  // Whether the count has arrived or all rows are read.
  bool rowCountKnown() const;
  // Whether the row's cells are held (a new row's too): asking for those
  // of a row not held reads its block, after the event loop's turn.
  bool rowIsHeld(int row) const {
    return isNewRow(row) || (recordset_ && row >= 0 && cacheRow(row) < shownRows_ && recordset_->rowHeld(cacheRow(row)));
  }
  // Reads the rows [row, row + count) where not held yet, at once.
  void readRows(int row, int count);
  // Reads the blocks of the rows [first, last] not held yet, at once, as
  // painting them would after the event loop's turn: a view that moved far
  // paints them once, read, rather than blank first.
  void readBlocksOf(int first, int last);

  // A table of more rows than a page is shown a page at a time: the views
  // are told of at most pageRows() places, from the table's row pageBase()
  // on. A view's row header keeps a section for each of its rows and goes
  // through all of them whenever rows come or go; a page of this size
  // costs it well under a millisecond, where a million places cost it tens
  // before the first paint. Model rows are places in the page. A table that
  // fits in one page has its page from row 0 on for good.
  static constexpr std::size_t PageRows = std::size_t{1} << 16;
  // Before the rows are shown; tests use small pages.
  void setPageRows(std::size_t rows) { pageRows_ = std::max<std::size_t>(rows, 1); }
  std::size_t pageRows() const { return pageRows_; }
  std::size_t pageBase() const { return pageBase_; }
  // The places of the table the model knows of, in the page or not.
  std::size_t tableRows() const { return shownRows_; }
  bool paged() const { return pageBase_ > 0 || pageBase_ + pagePlaces_ < shownRows_; }
  // Shows the page from the table's row `base` on (kept within the table),
  // anew, as after a reset. False where a new row is open.
  bool movePage(std::size_t base);

  // A new row, opened below the given row (-1: at the top) and kept here
  // until it is stored; false (with the reason announced) where rows cannot
  // be added, or a new row already open could not be stored.
  bool openNewRow(int below);
  int newRowIndex() const { return newRow_ ? static_cast<int>(newRow_->at - pageBase_) : -1; }
  bool isNewRow(int row) const {
    return newRow_ && row >= 0 && pageBase_ + static_cast<std::size_t>(row) == newRow_->at;
  }
  // Stores the new row, if one is open, in one insert. False when the
  // database refused it: the row stays new and editable.
  bool storeNewRow();
  void discardNewRow();
  // Deletes the rows from the database, all or none, and from view.
  bool deleteRows(QList<int> rows);
  // What deleting the rows takes with it (see ado::Recordset::ReachOfDelete);
  // nothing where that cannot be asked.
  ado::Recordset::DeleteReach deleteReach(const QList<int>& rows);
  QString tableName() const;
  // How many of `lines` rows from `row` on fall past the table's last row;
  // reads the rows they fall on first.
  int rowsMissingFor(int row, int lines);
  // Writes a block of texts into the cells from (row, column) on, lines past
  // the last row as new rows, all as one: all or none. False, with the
  // reason announced, when nothing was written.
  // A NULL cell stores NULL where the column holds it; where it does not,
  // nothing is written.
  bool pasteBlock(int row, int column, const ClipboardCells& lines);
  // The same for tab-separated text (see CellsOfText).
  bool pasteBlock(int row, int column, const QList<QStringList>& lines) {
    return pasteBlock(row, column, CellsOfText(lines));
  }
  // Empties the cells as one change: NULL where the column allows it, else
  // what an emptied cell stores (see ado::Recordset::EmptiedValue). False,
  // with the reason announced, when nothing was written.
  bool emptyCells(const QModelIndexList& cells);

  // What undo (redo) would undo (redo) of the changes saved, as a menu
  // names it ("paste of 12 cells"); empty when nothing.
  QString undoName() const;
  QString redoName() const;
  // Undoes (redoes) the last change saved, by an inverse write checked like
  // any write. Returns the first row it changed or added (-1 when nothing
  // was done; a refusal is announced).
  int undo();
  int redo();

  // The rows shown, found, filtered and sorted by the database. Setting
  // another view reads the table again from the start (a new row open is
  // stored first); false, announced, when the database refused the view:
  // the rows then stay as they were.
  const ado::RowView& view() const;
  bool setView(const ado::RowView& view);
  // Reads the table again under the same view.
  bool refresh() { return setView(view()); }
  // What names the row in its table (empty for none); the row with that
  // identity among the rows shown, reading further to find it (-1: none).
  std::string rowIdentity(int row) const;
  // `near`: the table's row where to look first (-1: nowhere). The page
  // moves to the row found.
  int findRow(const std::string& identity, std::ptrdiff_t near = -1);
  // A filter on the cell's value exactly as stored.
  ado::RowView::ValueFilter valueFilter(const QModelIndex& index, bool keep) const;
  // Whether a cell of the row the find looks in holds the find's text.
  bool rowHoldsFindText(int row) const;
  // Whether the view's find and filters would show the row as it is now.
  bool rowMatchesView(int row) const;
  QString sortNote() const;

  // Why the column cannot be edited (empty when it can). Asks the data
  // source what it has not told yet.
  QString readOnlyReason(int column) const;
  // The same from what is known so far; empty also when not known yet.
  QString knownReadOnlyReason(int column) const;
  // Text that is no date or boolean the driver hands over as text.
  bool columnIsText(int column) const;
  // How many bytes the cell's value holds as read (0 for NULL), also where
  // only its beginning is held.
  std::size_t valueBytes(const QModelIndex& index) const;
  // Whether the cell's value is held only by its beginning (see
  // ado::CellView::cut).
  bool valueIsCut(const QModelIndex& index) const;
  // The whole text of the cell, as an editor needs it (binary values in
  // hexadecimal): read again by the row's identity where it is held cut.
  // std::nullopt, announced (writeFailed), when the row is no longer as it
  // was read.
  std::optional<QString> wholeText(const QModelIndex& index);
  // The same as a copy takes it: NULL as the word, binary values whole in
  // the form a cell shows a short one.
  std::optional<QString> copiedText(const QModelIndex& index);
  // Dates and timestamps, which get an editor with a calendar.
  bool columnHoldsDate(int column) const;
  bool columnIsNullable(int column) const;
  bool columnIsBinary(int column) const { return recordset_ && recordset_->knownColumn(column).isBinary(); }
  // What the table's catalogue says of the column (its key, its default),
  // asked once.
  const ado::ColumnNotes& columnNotes(int column) const;
  bool columnNotesKnown() const { return notes_.has_value(); }
  // A heading's tool tip: why the column cannot be changed, if so; its
  // type, key, NOT NULL and default; how a click sorts it.
  QString columnToolTip(int column) const;
  // Whether the cell holds the find's text, in a column the find looks in
  // (in what is held of a long value).
  bool cellHoldsFindText(int row, int column) const;

 signals:
  // A write the database refused or that found no row to change; the grid
  // already shows what the database holds.
  void writeFailed(const QString& message);
  // Reading further rows failed; the rows read so far stay.
  void fetchFailed(const QString& message);
  // Something the user should know that is no failure.
  void notice(const QString& message);
  // The rows [first, last] of the page were just written, and show what the
  // database stored.
  void rowsSaved(int first, int last);
  // The rows were counted: the last row is known.
  void rowsCounted();
  // The catalogue's guess of the number of rows, before the views are told
  // of them.
  void placesGuessed(std::size_t rows);
  // The page moved, or places came or went in or outside it.
  void pageChanged();

 private:
  struct NewRow {
    std::size_t at = 0;  // where it shows, and goes in the cache when stored
    std::map<int, std::optional<std::string>> cells;
    bool discarded = false;  // going: views moving off it must not store it
  };
  std::size_t cacheRow(int row) const;
  // The model row of a row in the cache (within the page).
  int modelRow(std::size_t cached) const;
  bool inPage(std::size_t cached) const { return cached >= pageBase_ && cached - pageBase_ < pagePlaces_; }
  // Places [first, first + count) of the table come or go; `change` makes
  // the recordset's rows so while the views are told. Places from reads
  // (`bounded`) fill the page up to pageRows(); those the user adds go in.
  void insertPlaces(std::size_t first, std::size_t count, const std::function<void()>& change, bool bounded);
  void removePlaces(std::size_t first, std::size_t count, const std::function<void()>& change);
  // A page short of pageRows() takes in the places next to it.
  void fillPage();
  // The page from row 0 on, the views told anew (within a model reset).
  void resetPage();
  // Where the cached row lies outside the page, the page moves there.
  void showCachedRow(std::size_t cached);
  // The views are told the rows [first, last] of the cache changed, those
  // in the page.
  void cachedRowsChanged(std::size_t first, std::size_t last);
  // `sure`: see ado::Recordset::ReadRows.
  void readCachedRows(std::size_t first, std::size_t count, bool sure = false);
  int revert(bool undo);
  // Writes cells of cached rows and new rows as one (see
  // ado::Recordset::WriteCells, `named` too); a refusal is announced after
  // `refusal`.
  bool writeCells(const std::vector<std::pair<std::size_t, ado::CellValues>>& changed,
                  const std::vector<ado::CellValues>& added, const QString& refusal, const std::string& named = {});
  // Takes cached rows out of the cache and the views; ascending.
  void removeCachedRows(const std::vector<std::size_t>& cached);
  // After a write: the rows it changed beyond those it named show as they
  // are, and those gone from the table leave, with `removing` (see
  // ado::Recordset::TakeRowsBeyond).
  void showRowsBeyond(std::vector<std::size_t> removing = {});
  QVariant newRowData(int column, int role) const;
  QVariant alignment(int column) const;
  // A boolean's check box: partly checked for NULL; none for other columns
  // and for text that is no boolean.
  QVariant checkState(bool isNull, const QString& text, int column) const;
  // A value of the column that shows how it spells true and false.
  QString booleanSample(const QModelIndex& index) const;
  void fetchRows(std::size_t rows);
  QString displayText(const ado::CellView& cell, int column) const;
  QString editText(std::size_t row, const ado::CellView& cell, int column) const;
  std::optional<std::string> valueToStore(const QVariant& value, int role, int column) const;
  const ado::ColumnInfo& columnFacts(int column) const;
  static QString hexadecimalReason(const ado::ColumnInfo& info);

  // A large table gets a window over its rows, after the first screen.
  void openWindowLater();
  // Starts the count that openWindow asked for, unless started already.
  void startCount();
  void countArrived();
  // The count `rows` (with the key range counted with it) replaces the
  // guess.
  void settlePlaces(std::size_t rows, const std::optional<ado::KeyRange>& keys);
  // Marks rows changed here that the view would no longer show.
  void markUnmatched(int first, int count);
  // The views are told of `rows` rows in place of those shown.
  void showRowCount(std::size_t rows);
  void readWantedRows();
  // What a cell of a row not held shows until it is read.
  QVariant placeholder(std::size_t row, int role) const;
  void forgetWindow();
  // Announces a failed read; a read the server ended that could not go on
  // stops every read until the rows are read anew.
  void readFailed(const std::exception& failure);

  ado::RecordsetPtr recordset_;
  std::size_t shownRows_ = 0;  // places of the table the model knows of
  std::size_t pageRows_ = PageRows;
  std::size_t pageBase_ = 0;  // the table's row of the page's first place
  std::size_t pagePlaces_ = 0;  // places in the page (the views' rows but a new row)
  std::size_t generation_ = 0;  // of the recordset's rows the views were told of
  bool announcing_ = false;
  std::optional<NewRow> newRow_;
  // The window: the count under way, the blocks of rows looked at and not
  // held, those whose read failed (not asked for again until a refresh).
  std::unique_ptr<ado::RowCount> count_;
  bool countWanted_ = false;
  bool windowAsked_ = false;
  mutable std::set<std::size_t> wantedBlocks_;
  mutable bool readQueued_ = false;
  std::set<std::size_t> failedBlocks_;
  bool readCutShort_ = false;
  LockWait* lockWait_;
  mutable std::optional<std::vector<ado::ColumnNotes>> notes_;
};

}  // namespace ui

#pragma once

#include <QTableView>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/ado/Recordset.h"
#include "platform/store/GridStateFile.h"

class QLabel;
class QMenu;
class QTimer;

namespace ui {

class FindBar;
class LockWaitNotice;
class RecordsetModel;
class RowNumberHeader;
class TableScrollBar;

// The data grid of the table editor: shows every row and column of the
// recordset it is bound to and writes each committed cell edit through it.
// The binding alone keeps the recordset, and through it its connection,
// alive.
class DataGrid final : public QTableView {
  Q_OBJECT
 public:
  explicit DataGrid(QWidget* parent = nullptr);
  ~DataGrid() override;
  using QTableView::edit;

  // Text longer than this is edited in the larger editor, not in its cell;
  // past the second limit the user is asked first.
  static constexpr std::size_t InCellEditBytes = 100 * 1000;
  static constexpr std::size_t WarnedEditBytes = 10 * 1000 * 1000;

  // Binds the grid to a recordset's data source; nullptr clears the binding
  // and releases the recordset.
  void setDataSource(ado::RecordsetPtr source);
  // The data source the tables bound from now on come from: the widths the
  // user gives columns and the zoom are remembered per data source and
  // table, in the application's state file (see store::GridStateFile).
  // Until this is called nothing is remembered.
  void setRememberedAs(const std::string& applicationName, const QString& dataSourceName);
  ado::RecordsetPtr dataSource() const;
  RecordsetModel* recordsetModel() const { return model_.get(); }
  // The places of a page, for tables bound from now on (see
  // RecordsetModel::PageRows); tests use small pages.
  void setPageRows(std::size_t rows) { pageRows_ = rows; }
  // The scroll bar the user sees: over the whole table, also where the grid
  // shows it a page at a time.
  QScrollBar* rowScrollBar() const;

  // Commits a cell edit still open in the grid. Returns false when the
  // database refused it (the refusal has been announced by writeFailed).
  bool commitPendingEdit();

  // Opens the current text cell's value in a window of its own, with its
  // line breaks; OK writes it like any edit, Cancel writes nothing.
  void editInWindow();
  // Sets the current cell to NULL where the column allows it.
  void setCurrentCellToNull();
  // Empties the selected cells as one change, NULL where the column allows
  // it (Delete on cells not selected as whole rows).
  void emptySelectedCells();
  // Copies the selected cells as tab-separated text.
  void copySelection();

  // Opens a new row below the current one; it is stored in one insert when
  // the user leaves it (or commits pending edits).
  void addRow();
  // Pastes tab-separated lines from the clipboard from the current cell on,
  // all or none; lines past the last row become new rows after one
  // confirmation.
  void paste();
  // Deletes the rows selected whole, all or none, after one confirmation.
  void deleteSelectedRows();
  // Undoes (redoes) the last change saved in this table, by an inverse
  // write checked like any write.
  void undo();
  void redo();
  // Find, filter and sort, done by the database. Ctrl+F opens the find
  // bar; the rows shown are those whose cells hold its text.
  void openFind();
  // Moves to the next row shown that holds the find's text (F3, Enter).
  void findNext();
  // Closes the find bar and shows the whole table again (Esc).
  void closeFind();
  // Keeps (hides) only the rows holding the current cell's value.
  void filterByCurrentValue(bool keep);
  // A heading's click: ascending, descending, then the table's own order.
  void sortByColumn(int column);
  // Reads the table again under the same find, filter and sort (F5).
  void refresh();
  FindBar* findBar() const { return findBar_; }
  // Edits the current date cell with its calendar open (F4).
  void openCalendar();
  // Makes the font `steps` points larger (smaller where negative), within
  // limits; remembered per table (Ctrl+plus, Ctrl+minus).
  void zoomBy(int steps);
  int zoom() const { return layout_.zoom; }
  // The menu of every command of the grid, each with its key (or what does
  // it, after a tab), for the cell; an entry is disabled where it does not
  // apply. A heading's menu is that of its column's cell in the current
  // row.
  std::unique_ptr<QMenu> actionMenu(const QModelIndex& cell);
  // The line inside the grid's frame, beside the horizontal scroll bar, that
  // says which row is current of how many, and that a change was saved.
  QLabel* rowPlace() const { return rowPlace_; }
  // Rows of the page marked just saved (-1, -1: none).
  std::pair<int, int> savedRows() const { return savedRows_; }

  // Asks the user a yes/no question; tests answer it themselves.
  using Confirmation = std::function<bool(const QString& question)>;
  void setConfirmation(Confirmation confirm) { confirm_ = std::move(confirm); }

 signals:
  void writeFailed(const QString& message);
  void editRefused(const QString& reason);
  void notice(const QString& message);

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  // What a command acts on is what the user sees selected: a jump (Ctrl
  // with a key that moves, or a command that goes to a row) selects the
  // cell it lands on, whatever keys are held.
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent* event = nullptr) const override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void resizeEvent(QResizeEvent* event) override;
  // The model's count waits for the first rows to be painted.
  void paintEvent(QPaintEvent* event) override;
  // Rows scrolled into view are read before they are painted.
  void scrollContentsBy(int dx, int dy) override;

 private:
  std::unique_ptr<RecordsetModel> model_;
  QList<int> selectedWholeRows() const;
  // Gives each column the user has not sized the width its heading and the
  // values on screen need, once the grid is on screen and again when it
  // grows: numbers, dates and keys whole (at least their type's width),
  // other text up to a cap. Columns the user sized keep their width.
  void fitColumnsWhenShown();
  void fitColumnsToValues();
  // Rows read later (the end of the table, a sort) that show wider than
  // their column widen it, after the event loop's turn: numbers, dates and
  // keys to the whole value, other text up to the cap.
  void widenColumnsLater();
  void widenColumns();
  bool keptWhole(int column) const;
  // Asks the catalogue for the keys once the model is not reading, then
  // widens them.
  void learnKeysLater();
  // The widest value of the column among the rows on screen.
  int widthOnScreen(int column) const;
  // The remembered layout: widths the user gave and the zoom.
  void followUserWidths();
  void recallLayout(const QString& table);
  void saveLayoutNow();
  void applyZoom();
  // The row's place and count, the saved mark, the find's count.
  void setUpFeedback();
  void followFeedback();
  void showRowPlace();
  void markSaved(int first, int last);
  void showFindCount();
  // Selects the block [top, bottom] x [left, right].
  void selectBlock(int top, int left, int bottom, int right);
  void showHeadingMenu(const QPoint& at);
  // Row numbers wide enough for `rows` rows.
  void widenRowNumbers(std::size_t rows);
  // Places came (moved > 0) or went before row `first`: the rows on screen
  // stay there.
  void keepRowsInView(int first, int moved);
  void followPlaces();
  void followInsertedPlaces();
  // The first row on screen, of the page.
  int topRow() const;
  // Rows of the default height the viewport has room for, one cut.
  std::size_t rowsOnScreen() const;
  void setTopRow(int row);
  // Shows the page from the table's row `base` on, keeping the current
  // cell, the selection and the rows on screen where they fall in it. An
  // open edit or new row is stored first; false where that was refused.
  bool movePage(std::size_t base);
  // Moves the page where the table's row is near an edge of the page that
  // is not the table's, so that it lies in its middle.
  void keepInPage(std::size_t row);
  // Moves the page for a key's jump; a current cell the page leaves behind
  // goes to the page's nearest row, from where the key moves on.
  void moveCursorsPage(std::size_t base);
  // The table's scroll bar and the row numbers follow the page.
  void showPagePlace();
  void pageScrolled();
  void tableScrolled();
  bool confirm(const QString& question);
  // Makes the cell current and the only one selected.
  void jumpTo(const QModelIndex& index);
  // The question before rows are deleted, naming them.
  QString deleteQuestion(const QList<int>& rows);
  // Shows the rows of the view from the top, or with `keepRow` at the
  // current row where it is still there; the bar and heading say what is
  // shown.
  void showView(const ado::RowView& view, bool keepRow = false);
  void showViewState();
  void placeFindBar();
  void findFromBar();

  bool lastWriteFailed_ = false;
  std::size_t pageRows_ = 0;  // 0: the model's own
  bool movingPage_ = false;
  bool jumping_ = false;
  bool keyMovedPage_ = false;
  bool followingPlaces_ = false;
  bool pageCheckQueued_ = false;
  TableScrollBar* tableBar_ = nullptr;
  bool fitPending_ = false;
  bool fittingColumns_ = false;
  bool widenQueued_ = false;
  int fittedWidth_ = 0;  // the viewport's width at the last fit
  std::optional<store::GridStateFile> stateFile_;
  QString dataSourceName_;
  QString table_;  // whose layout is remembered (empty: none)
  store::GridLayout layout_;
  std::optional<QFont> pageFont_;  // the font before any zoom
  QTimer* saveLayout_ = nullptr;
  QLabel* rowPlace_ = nullptr;
  QTimer* savedMarkEnds_ = nullptr;
  std::pair<int, int> savedRows_{-1, -1};
  Confirmation confirm_;
  FindBar* findBar_;
  LockWaitNotice* lockWaitNotice_;
  RowNumberHeader* rowNumbers_;
};

}  // namespace ui

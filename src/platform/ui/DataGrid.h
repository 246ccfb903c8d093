#pragma once

#include <QTableView>
#include <memory>

#include "platform/ado/Recordset.h"

namespace ui {

class RecordsetModel;

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

  // Binds the grid to a recordset's data source; nullptr clears the binding
  // and releases the recordset.
  void setDataSource(ado::RecordsetPtr source);
  ado::RecordsetPtr dataSource() const;
  RecordsetModel* recordsetModel() const { return model_.get(); }

  // Commits a cell edit still open in the grid. Returns false when the
  // database refused it (the refusal has been announced by writeFailed).
  bool commitPendingEdit();

  // Sets the current cell to NULL where the column allows it.
  void setCurrentCellToNull();
  // Copies the selected cells as tab-separated text.
  void copySelection() const;

 signals:
  void writeFailed(const QString& message);
  void editRefused(const QString& reason);

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  std::unique_ptr<RecordsetModel> model_;
  bool lastWriteFailed_ = false;
};

}  // namespace ui

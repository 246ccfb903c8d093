#pragma once

#include <QDialog>

#include "RowsExport.h"

class QRadioButton;

namespace ui {

class DataGrid;

// Asks what to export (every row shown, or the selected cells) and in which
// format; the file is asked for after it.
class RowsExportDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit RowsExportDialog(bool selectionToo, QWidget* parent = nullptr);

  // The choice, without the file.
  RowsExportRequest request() const;

 private:
  QRadioButton* selection_;
  QRadioButton* tabSeparated_;
};

// The grid's "Export...": the dialog, then the file, then the export.
void AskAndExportRows(DataGrid& grid);

}  // namespace ui

#include "RowsExportDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "DataGrid.h"
#include "RecordsetModel.h"

namespace ui {
namespace {

QGroupBox* Choice(const QString& title, QRadioButton* first, QRadioButton* second, QWidget* parent) {
  auto* box = new QGroupBox(title, parent);
  auto* layout = new QVBoxLayout(box);
  layout->addWidget(first);
  layout->addWidget(second);
  first->setChecked(true);
  return box;
}

}  // namespace

RowsExportDialog::RowsExportDialog(bool selectionToo, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Export"));
  auto* every = new QRadioButton(QStringLiteral("Every row shown (with the find, filters and sort)"), this);
  selection_ = new QRadioButton(QStringLiteral("The selected cells"), this);
  selection_->setEnabled(selectionToo);
  auto* commas = new QRadioButton(QStringLiteral("CSV, comma-separated (.csv)"), this);
  tabSeparated_ = new QRadioButton(QStringLiteral("Tab-separated (.tsv)"), this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Export..."));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Choice(QStringLiteral("Rows"), every, selection_, this));
  layout->addWidget(Choice(QStringLiteral("Format"), commas, tabSeparated_, this));
  layout->addWidget(buttons);
}

RowsExportRequest RowsExportDialog::request() const {
  return {QString(), tabSeparated_->isChecked() ? DelimitedFormat::Tsv : DelimitedFormat::Csv, selection_->isChecked()};
}

void AskAndExportRows(DataGrid& grid) {
  const RecordsetModel* model = grid.recordsetModel();
  if (!model) return;
  RowsExportDialog dialog(grid.selectionModel()->hasSelection(), &grid);
  dialog.setFont(grid.font());
  if (dialog.exec() != QDialog::Accepted) return;
  RowsExportRequest request = dialog.request();
  const bool csv = request.format == DelimitedFormat::Csv;
  // The table's name, without what a file name cannot hold.
  QString name = model->tableName();
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  request.path = QFileDialog::getSaveFileName(
      &grid, QStringLiteral("Export"), QDir(folder).filePath(name + (csv ? QStringLiteral(".csv") : QStringLiteral(".tsv"))),
      csv ? QStringLiteral("CSV files (*.csv);;All files (*)") : QStringLiteral("Tab-separated files (*.tsv *.txt);;All files (*)"));
  if (!request.path.isEmpty()) ExportRows(grid, request);
}

}  // namespace ui

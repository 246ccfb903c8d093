// Rows added and deleted from the grid, and the questions asked first.
#include <QMessageBox>
#include <QStyledItemDelegate>
#include <algorithm>

#include "DataGrid.h"
#include "RecordsetModel.h"

namespace ui {

namespace {

// A delete's question names this many rows, and how many more there are.
constexpr int kNamedRows = 3;
// Each named by its number and the first cells, each cut to a few words.
constexpr int kNamingColumns = 3;
constexpr qsizetype kNamingCharacters = 30;

}  // namespace

void DataGrid::addRow() {
  if (!model_ || !commitPendingEdit()) return;
  const int below = currentIndex().isValid() ? currentIndex().row() : model_->rowCount() - 1;
  if (!model_->openNewRow(below)) return;
  const int row = model_->newRowIndex();
  jumpTo(model_->index(row, std::max(0, currentIndex().column())));
  scrollTo(currentIndex());
}

QList<int> DataGrid::selectedWholeRows() const {
  QList<int> rows;
  if (!selectionModel()) return rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows << index.row();
  std::sort(rows.begin(), rows.end());
  return rows;
}

bool DataGrid::confirm(const QString& question) {
  if (confirm_) return confirm_(question);
  // Plain text: a question may quote cells, which are no markup.
  QMessageBox box(QMessageBox::Question, QString(), question, QMessageBox::Yes | QMessageBox::No, this);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString DataGrid::deleteQuestion(const QList<int>& rows) {
  const QString table = model_->tableName();
  QString question = rows.size() == 1 ? QStringLiteral("Delete 1 row from the table \"%1\"?\n").arg(table)
                                      : QStringLiteral("Delete %1 rows from the table \"%2\"?\n").arg(rows.size()).arg(table);
  const auto* delegate = qobject_cast<const QStyledItemDelegate*>(itemDelegate());
  for (int row : rows.mid(0, kNamedRows)) {
    // Rows far from the screen may not have been read.
    model_->readRows(row, 1);
    QStringList cells;
    for (int column = 0; column < std::min(kNamingColumns, model_->columnCount()); ++column) {
      const QVariant value = model_->index(row, column).data();
      QString text = delegate ? delegate->displayText(value, locale()) : value.toString();
      if (text.size() > kNamingCharacters) text = text.left(kNamingCharacters) + QStringLiteral("...");
      cells << text;
    }
    const QString number = model_->headerData(row, Qt::Vertical, Qt::DisplayRole).toString();
    question += QLatin1Char('\n') +
                (model_->isNewRow(row) ? QStringLiteral("New row: ") : QStringLiteral("Row %1: ").arg(number)) +
                cells.join(QStringLiteral(", "));
  }
  if (const qsizetype more = rows.size() - kNamedRows; more > 0)
    question += more == 1 ? QStringLiteral("\nand 1 more row") : QStringLiteral("\nand %1 more rows").arg(more);
  // What the database does beyond them, through the table's foreign keys
  // to itself or its triggers.
  const ado::Recordset::DeleteReach reach = model_->deleteReach(rows);
  const QString them = rows.size() == 1 ? QStringLiteral("it") : QStringLiteral("them");
  if (reach.taken > 0)
    question += (reach.taken == 1 ? QStringLiteral("\n\nThis also deletes 1 other row, which depends on %1")
                                  : QStringLiteral("\n\nThis also deletes %1 other rows, which depend on %2")
                                        .arg(reach.taken))
                    .arg(them) +
                QStringLiteral(" through the table's foreign key to itself (ON DELETE CASCADE).");
  if (reach.changesOthers)
    question += QStringLiteral("\n\nThe database may change other rows of the table as well (ON DELETE SET NULL or "
                               "SET DEFAULT, or a trigger).");
  return question;
}

void DataGrid::deleteSelectedRows() {
  const QList<int> rows = selectedWholeRows();
  if (!model_ || rows.isEmpty()) {
    emit editRefused(QStringLiteral("Select whole rows (click their row headers) to delete them."));
    return;
  }
  if (!commitPendingEdit() || !confirm(deleteQuestion(rows))) return;
  const int current = currentIndex().isValid() ? rows.first() : 0;
  if (!model_->deleteRows(rows)) return;
  clearSelection();
  if (model_->rowCount() > 0)
    jumpTo(model_->index(std::min(current, model_->rowCount() - 1), std::max(0, currentIndex().column())));
}

}  // namespace ui

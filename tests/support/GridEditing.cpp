#include "GridEditing.h"

#include <QComboBox>
#include <QLineEdit>

#include "pages/Form2.h"
#include "platform/ado/Connection.h"
#include "platform/ui/DataGrid.h"

namespace support {

ado::RecordsetPtr OpenTable(const QString& dataSourceName, const std::string& table) {
  auto connection = ado::CreateConnection();
  connection->setCursorLocation(ado::adUseServer);
  connection->setProvider("MSDASQL");
  connection->Open("Data Source=" + dataSourceName.toStdString());
  connection->setCursorLocation(ado::adUseClient);
  auto recordset = std::make_shared<ado::Recordset>();
  recordset->setTable(table);
  recordset->Open(pages::TableQueryText(table, connection->IdentifierQuote()), connection, ado::adOpenDynamic, ado::adLockOptimistic);
  return recordset;
}

bool Commit(ui::DataGrid& grid, int row, int column, const QString& text) {
  const QModelIndex index = grid.model()->index(row, column);
  if (!index.isValid()) return false;
  grid.setCurrentIndex(index);
  grid.edit(index);
  QWidget* widget = grid.indexWidget(index);
  // A foreign key's editor types into its box's line.
  auto* box = qobject_cast<QComboBox*>(widget);
  auto* editor = box ? box->lineEdit() : qobject_cast<QLineEdit*>(widget);
  if (!editor) return false;
  editor->setText(text);
  return grid.commitPendingEdit();
}

}  // namespace support

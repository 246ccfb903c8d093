#include "ReferenceTip.h"

#include <QModelIndex>

#include "platform/ado/References.h"
#include "RecordsetModel.h"

namespace ui {

QString ReferenceTipOf(const QModelIndex& index) {
  const auto* records = qobject_cast<const RecordsetModel*>(index.model());
  if (!records || !records->recordset()) return {};
  const std::shared_ptr<ado::References> references = records->recordset()->references();
  const ado::ForeignKey* key = references ? references->KeyOf(index.column()) : nullptr;
  if (!key) return {};
  ado::References::Cells values;
  for (int column : key->columns) {
    if (column < 0) return {};
    const QModelIndex cell = index.sibling(index.row(), column);
    if (cell.data(RecordsetModel::NullRole).toBool()) return {};
    values.push_back(cell.data(Qt::EditRole).toString().toStdString());
  }
  return QString::fromStdString(references->RowTip(*key, values));
}

}  // namespace ui

// What a column's heading tells of it: type, key, NOT NULL, default, why it
// cannot be changed, and how a click sorts it.
#include <QStringList>

#include "RecordsetModel.h"

namespace ui {

namespace {

// Text columns show their size past which a value does not fit; a size
// this large tells nothing.
constexpr std::size_t kLargestShownSize = 65535;

}  // namespace

const ado::ColumnNotes& RecordsetModel::columnNotes(int column) const {
  static const ado::ColumnNotes none;
  if (!recordset_) return none;
  if (!notes_) notes_ = recordset_->CatalogNotes();
  return column >= 0 && static_cast<std::size_t>(column) < notes_->size() ? (*notes_)[static_cast<std::size_t>(column)]
                                                                          : none;
}

QString RecordsetModel::columnToolTip(int column) const {
  if (!recordset_ || column < 0 || column >= recordset_->fieldCount()) return {};
  QStringList lines;
  // Why it cannot be changed comes first: it is what an edit runs into.
  if (const QString reason = readOnlyReason(column); !reason.isEmpty()) lines << reason;
  const ado::ColumnInfo& facts = columnFacts(column);
  QString type = QString::fromStdString(facts.typeName);
  if (facts.isText() && !facts.holdsDate() && facts.size > 0 && facts.size <= kLargestShownSize)
    type += QStringLiteral("(%1)").arg(facts.size);
  const ado::ColumnNotes& notes = columnNotes(column);
  QStringList traits;
  if (notes.inPrimaryKey) traits << QStringLiteral("primary key");
  if (!facts.nullable) traits << QStringLiteral("NOT NULL");
  if (facts.autoIncrement) traits << QStringLiteral("numbered by the database");
  lines << QStringLiteral("Type: %1%2").arg(type, traits.isEmpty() ? QString() : QStringLiteral(", ") + traits.join(", "));
  if (notes.defaultValue) lines << QStringLiteral("Default: %1").arg(QString::fromStdString(*notes.defaultValue));
  if (const QString sorting = sortNote(); !sorting.isEmpty()) lines << sorting;
  return lines.join(QLatin1Char('\n'));
}

}  // namespace ui

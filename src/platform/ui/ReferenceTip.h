#pragma once

#include <QString>

class QModelIndex;

namespace ui {

// The row a cell of a foreign-key column references, as its tool tip says
// it (read when asked, for that cell alone); empty where the column is in
// no foreign key or a value of the key is NULL.
QString ReferenceTipOf(const QModelIndex& index);

}  // namespace ui

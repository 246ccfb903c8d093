#pragma once

#include <QFontMetrics>

#include "platform/ado/ColumnInfo.h"

namespace ui {

// The width of the widest text a column's type can show, where the type
// bounds it: integers and decimals by their digits and sign, dates and
// timestamps by their size in characters. 0 where the type does not bound
// it (text, floating point). Without the cell's margins.
int ColumnTypeWidth(const ado::ColumnInfo& column, const QFontMetrics& metrics);

}  // namespace ui

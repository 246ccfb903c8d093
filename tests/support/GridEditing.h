#pragma once

#include <QString>

#include <string>

#include "platform/ado/Recordset.h"

namespace ui {
class DataGrid;
}

namespace support {

// The table opened the way the table chooser opens it for the grid: a
// server-side connection turned client-side, a dynamic cursor with
// optimistic locking, the name quoted as the chooser quotes it.
ado::RecordsetPtr OpenTable(const QString& dataSourceName, const std::string& table);

// Types the text into the grid's own editor for the cell and commits it, as
// a user does; false when the database refused it.
bool Commit(ui::DataGrid& grid, int row, int column, const QString& text);

}  // namespace support

#pragma once

#include <vector>

#include "platform/ado/ColumnInfo.h"

namespace ado {

class OdbcStatement;

// What showing the rows needs of each column of the statement's result:
// name, type and a size for the text buffers. Drivers answer this from the
// result itself; date and time columns may come as the general datetime
// type. Nullability, updatability and the base names are left unknown.
std::vector<ColumnInfo> DescribeResultShape(const OdbcStatement& statement);

// Everything the driver says about each column, including what writing
// needs. Some drivers look part of it up in the database's catalogue.
std::vector<ColumnInfo> DescribeColumns(const OdbcStatement& statement);

}  // namespace ado

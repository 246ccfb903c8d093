#pragma once

#include <vector>

#include "Recordset.h"

namespace ado {

class OdbcStatement;

// What the driver says about each column of the statement's result.
std::vector<ColumnInfo> DescribeColumns(const OdbcStatement& statement);

}  // namespace ado

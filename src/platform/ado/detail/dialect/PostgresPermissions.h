#pragma once

#include <vector>

#include "../WritePermissions.h"

namespace ado {

// PostgreSQL: a standby, a read-only default, the role's rights on the
// table and its columns. Raises Error where the question fails.
WritePermissions AskPostgresPermissions(OdbcConnection& connection, const TableRead& read,
                                        const std::vector<ColumnInfo>& columns);

}  // namespace ado

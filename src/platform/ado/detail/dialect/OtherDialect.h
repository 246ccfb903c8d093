#pragma once

#include "Dialect.h"

namespace ado {

// A database this layer knows nothing more of: the rows are read as the
// driver hands them over, and found again by the primary key the
// catalogue names, once the result is described.
class OtherDialect final : public Dialect {
 public:
  void ResolveKey(OdbcConnection& connection, TableRead& read, const std::vector<ColumnInfo>& columns) const override;
};

}  // namespace ado

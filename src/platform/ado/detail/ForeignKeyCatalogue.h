#pragma once

#include <vector>

#include "platform/ado/ForeignKey.h"

namespace ado {

class OdbcConnection;
struct TableRead;

// The foreign keys of the table read, as its database's catalogue names
// them (through the dialect; else the driver's SQLForeignKeys). Their
// visible columns are left unknown (-1) until the result is described.
std::vector<ForeignKey> LearnForeignKeys(OdbcConnection& connection, const TableRead& read);

}  // namespace ado

#pragma once

namespace ado {

// Binds the ODBC driver setup library (odbcinst) to the process for its
// whole life. Some drivers (the SQLite3 one) load it on every connect and
// unload it on disconnect; each unload throws away its cached settings,
// which costs a reload per connect and strands the cache's memory.
void KeepDriverSetupLibraryLoaded();

}  // namespace ado

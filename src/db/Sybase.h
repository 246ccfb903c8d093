#pragma once

class QListWidget;

namespace db {

// True when a connection to the current data source name opens. Shows
// nothing and leaves nothing open. Raises only when the connection object
// cannot be created.
bool ConnectToSybase();

// Fills the list with the database's plain tables whose upper-cased names do
// not contain "SYS", reporting failures under its own location text.
void AddTablesToSybaseListbox(QListWidget& list);

}  // namespace db

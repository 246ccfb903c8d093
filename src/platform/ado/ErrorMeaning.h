#pragma once

namespace ado {

class Error;

// What a failure of the data-access layer means, whichever database gave
// it: the standard SQLSTATEs, and each database's own states and words.

// Another session or program holds a lock the statement waited for in
// vain (or the wait was limited and ran out).
bool IsBusy(const Error& error);
// The user cancelled a statement while it waited.
bool IsCancelled(const Error& error);
// The connection itself is gone: the server ended or refused the session,
// or the network dropped it.
bool IsConnectionLost(const Error& error);
// A read the server ended: a lost connection, a statement a standby
// cancelled, a session ended for idling in a transaction.
bool IsReadEnded(const Error& error);

// A foreign key refused the change: a value that no row of the referenced
// table holds, or a row still referenced from another table.
bool IsForeignKeyViolation(const Error& error);

// The database's limit on how long one statement may run ended it.
bool IsTimeLimit(const Error& error);

// A column the statement names is not there (renamed or dropped since the
// table was read), or a result holds other columns than read.
bool IsColumnsChanged(const Error& error);
Error ColumnsChangedError();

// The error of a statement the user cancelled; `cause` is how the database
// ended it.
Error CancelledError(const char* cause = "");

}  // namespace ado

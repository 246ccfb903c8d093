#pragma once

#include <functional>
#include <string>

namespace ado {

class Error;
class OdbcStatement;

// Runs the work of a read where the thread's statement wait lets it run
// (in place without one): the window keeps turning, and the user's cancel
// ends the statement. Raises Error (SQLSTATE HY008) when the user stopped
// the read, with `stopped` as its text.
void RunWaitedRead(OdbcStatement& statement, const std::function<void()>& work, const std::string& stopped);

// Whether the error says the user stopped the read.
bool ReadStopped(const Error& error);

}  // namespace ado

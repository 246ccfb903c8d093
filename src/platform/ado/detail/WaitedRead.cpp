#include "WaitedRead.h"

#include <exception>

#include "platform/ado/AdoError.h"
#include "platform/ado/StatementWait.h"
#include "OdbcStatement.h"

namespace ado {
namespace {

constexpr const char* StoppedState = "HY008";

}  // namespace

void RunWaitedRead(OdbcStatement& statement, const std::function<void()>& work, const std::string& stopped) {
  StatementWait* wait = StatementWait::Current();
  if (!wait) {
    work();
    return;
  }
  if (wait->cancelRequested()) throw Error(stopped, StoppedState);
  std::exception_ptr failure;
  wait->Run(
      [&] {
        try {
          work();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      [&statement] { statement.Cancel(); });
  if (wait->cancelRequested()) throw Error(stopped, StoppedState);
  if (failure) std::rethrow_exception(failure);
}

bool ReadStopped(const Error& error) { return error.sqlState() == StoppedState; }

}  // namespace ado

#include "WaitedRead.h"

#include <exception>

#include "platform/ado/AdoError.h"
#include "platform/ado/ErrorMeaning.h"
#include "platform/ado/StatementWait.h"
#include "OdbcStatement.h"

namespace ado {
namespace {

constexpr const char* StoppedState = "HY008";

// The database's own words for its time limit name a setting the user may
// not know; what it did to the read is said first.
void RunSaid(const std::function<void()>& work) {
  try {
    work();
  } catch (const Error& error) {
    if (!IsTimeLimit(error)) throw;
    throw Error("The database's time limit for one statement stopped the read before its rows came: the rows it "
                "was reading are not shown (they stay marked as not read). A find or a filter reads fewer rows; "
                "the database's administrator can allow a statement more time.\n" +
                    std::string(error.what()),
                error.sqlState());
  }
}

}  // namespace

void RunWaitedRead(OdbcStatement& statement, const std::function<void()>& given, const std::string& stopped) {
  const auto work = [&] { RunSaid(given); };
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

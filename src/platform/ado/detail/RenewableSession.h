#pragma once

#include <functional>
#include <memory>
#include <string>

namespace ado {

class Error;
class OdbcConnection;

// A server session that is opened afresh once the server has ended it (a
// restart, an administrator, a standby's recovery conflict, an idle
// timeout), so that the next statement can succeed. Until then it may be a
// connection owned elsewhere.
class RenewableSession {
 public:
  // `origin`: the connection whose data source each fresh session connects
  // to; it must outlive this. `first`: the session used until it is ended
  // (none: a fresh one from the start). `setUp` runs on each fresh session;
  // `options` go to the driver of each (see OdbcConnection::OpenAnother).
  RenewableSession(const OdbcConnection& origin, OdbcConnection* first,
                   std::function<void(OdbcConnection&)> setUp = {}, std::string options = {});
  ~RenewableSession();
  RenewableSession(const RenewableSession&) = delete;
  RenewableSession& operator=(const RenewableSession&) = delete;

  // The session, opened afresh where the last one was ended.
  OdbcConnection& Get();
  // The session as it is, without opening one; none before the first Get
  // where no first session was given.
  OdbcConnection* current() const { return current_; }
  // The next Get opens a fresh session.
  void MarkEnded() { ended_ = true; }
  // Marks the session ended where the error says the server ended it;
  // returns whether it did.
  bool EndedBy(const Error& error);

 private:
  const OdbcConnection& origin_;
  std::function<void(OdbcConnection&)> setUp_;
  std::string options_;
  std::unique_ptr<OdbcConnection> owned_;
  OdbcConnection* current_ = nullptr;
  bool ended_ = false;
};

}  // namespace ado

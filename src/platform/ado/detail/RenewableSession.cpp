#include "RenewableSession.h"

#include <string>

#include "platform/ado/AdoError.h"
#include "OdbcConnection.h"

namespace ado {

RenewableSession::RenewableSession(const OdbcConnection& origin, OdbcConnection* first,
                                   std::function<void(OdbcConnection&)> setUp)
    : origin_(origin), setUp_(std::move(setUp)), current_(first) {}

RenewableSession::~RenewableSession() = default;

OdbcConnection& RenewableSession::Get() {
  if (current_ && current_->isOpen() && !ended_) return *current_;
  current_ = nullptr;
  owned_.reset();
  ended_ = false;
  owned_ = origin_.OpenAnother();
  if (setUp_) setUp_(*owned_);
  current_ = owned_.get();
  return *current_;
}

bool RenewableSession::EndedBy(const Error& error) {
  if (!ConnectionLost(error) && !ReadEnded(error)) return false;
  ended_ = true;
  return true;
}

bool RenewableSession::ConnectionLost(const Error& error) {
  // Class 08 is the connection exception class; 57P01 to 57P03 are the
  // server ending or refusing the session (PostgreSQL).
  const std::string& state = error.sqlState();
  const std::string text = error.what();
  return state.starts_with("08") || state == "57P01" || state == "57P02" || state == "57P03" ||
         text.find("connection has been lost") != std::string::npos ||
         text.find("server closed the connection") != std::string::npos;
}

bool RenewableSession::ReadEnded(const Error& error) {
  const std::string& state = error.sqlState();
  const std::string text = error.what();
  return ConnectionLost(error) || state == "25P03" ||
         (state == "40001" && text.find("conflict with recovery") != std::string::npos) ||
         text.find("idle-in-transaction timeout") != std::string::npos ||
         text.find("terminating connection") != std::string::npos;
}

}  // namespace ado

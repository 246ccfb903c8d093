#include "RenewableSession.h"

#include <string>

#include "platform/ado/AdoError.h"
#include "platform/ado/ErrorMeaning.h"
#include "OdbcConnection.h"

namespace ado {

RenewableSession::RenewableSession(const OdbcConnection& origin, OdbcConnection* first,
                                   std::function<void(OdbcConnection&)> setUp, std::string options)
    : origin_(origin), setUp_(std::move(setUp)), options_(std::move(options)), current_(first) {}

RenewableSession::~RenewableSession() = default;

OdbcConnection& RenewableSession::Get() {
  if (current_ && current_->isOpen() && !ended_) return *current_;
  current_ = nullptr;
  owned_.reset();
  ended_ = false;
  owned_ = origin_.OpenAnother(options_);
  if (setUp_) setUp_(*owned_);
  current_ = owned_.get();
  return *current_;
}

bool RenewableSession::EndedBy(const Error& error) {
  if (!IsReadEnded(error)) return false;
  ended_ = true;
  return true;
}

}  // namespace ado

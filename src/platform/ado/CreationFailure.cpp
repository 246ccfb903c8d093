#include "CreationFailure.h"

namespace ado::testing {
namespace {
std::optional<std::string>& Failure() {
  static std::optional<std::string> failure;
  return failure;
}
}  // namespace

void SetCreationFailure(std::optional<std::string> description) { Failure() = std::move(description); }
const std::optional<std::string>& CreationFailure() { return Failure(); }

}  // namespace ado::testing

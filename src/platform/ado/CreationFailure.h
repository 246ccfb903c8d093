#pragma once

#include <optional>
#include <string>

namespace ado::testing {

// Makes every ado::CreateConnection raise ado::Error with the given text, as
// when the data-access components are missing; std::nullopt ends it.
void SetCreationFailure(std::optional<std::string> description);
const std::optional<std::string>& CreationFailure();

}  // namespace ado::testing

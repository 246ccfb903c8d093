#pragma once

#include <QString>
#include <optional>

namespace ui {

// A boolean column's value as the database gave it: "1"/"0", "t"/"f",
// "true"/"false", "y"/"n", "yes"/"no", "on"/"off" in any case; std::nullopt
// for any other text, which is then shown and edited as text.
std::optional<bool> BooleanValue(const QString& text);

// The text for `value` in the form of `sample`, a value the column holds
// ("t" gives "t" or "f", "TRUE" gives "TRUE" or "FALSE"); "1" or "0" when
// the sample is no boolean.
QString BooleanText(bool value, const QString& sample);

}  // namespace ui

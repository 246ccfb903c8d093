#include "BooleanText.h"

#include <array>
#include <utility>

namespace ui {

namespace {

// True and false, in the spellings the drivers give.
constexpr std::array<std::pair<const char*, const char*>, 6> kSpellings = {{
    {"1", "0"}, {"t", "f"}, {"true", "false"}, {"y", "n"}, {"yes", "no"}, {"on", "off"}}};

// The spelling a text is one of: its index and whether it means true.
std::optional<std::pair<std::size_t, bool>> Spelling(const QString& text) {
  const QString lower = text.toLower();
  for (std::size_t at = 0; at < kSpellings.size(); ++at) {
    if (lower == QLatin1String(kSpellings[at].first)) return std::pair{at, true};
    if (lower == QLatin1String(kSpellings[at].second)) return std::pair{at, false};
  }
  return std::nullopt;
}

}  // namespace

std::optional<bool> BooleanValue(const QString& text) {
  const auto spelling = Spelling(text);
  if (!spelling) return std::nullopt;
  return spelling->second;
}

QString BooleanText(bool value, const QString& sample) {
  const auto spelling = Spelling(sample);
  const auto& [truth, falsehood] = kSpellings[spelling ? spelling->first : 0];
  const QString text = QLatin1String(value ? truth : falsehood);
  // The case of the sample: "TRUE", "True" or "true".
  if (sample.isEmpty() || !sample.at(0).isUpper()) return text;
  if (sample == sample.toUpper() && sample.size() > 1) return text.toUpper();
  return text.at(0).toUpper() + text.mid(1);
}

}  // namespace ui

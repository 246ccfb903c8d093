#pragma once

#include <map>
#include <string>
#include <string_view>

namespace store {

// Sections by name, each holding keys by name with their text values.
using SettingsTree = std::map<std::string, std::map<std::string, std::string>>;

// The text of a settings file: one "[section]" line per section followed by
// its "key=value" lines. Every name and value is escaped so that any byte
// sequence survives the round trip, including line breaks, brackets, equal
// signs, comment marks, blanks at either end and backslashes.
std::string SerializeSettings(const SettingsTree& tree);

// Reads the text of a settings file. Lines that do not parse (garbage,
// binary data, a key outside any section) are skipped, so a damaged file
// still yields whatever it holds intact and never fails.
SettingsTree ParseSettings(std::string_view text);

std::string EscapeSettingsText(std::string_view raw);
// False when the text holds a malformed escape or a raw control character.
bool UnescapeSettingsText(std::string_view escaped, std::string& raw);

}  // namespace store

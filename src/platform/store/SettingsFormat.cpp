#include "platform/store/SettingsFormat.h"

namespace store {

namespace {

constexpr std::string_view HexDigits = "0123456789ABCDEF";
constexpr std::string_view FileHeader = "; Per-user settings. Edit only while no program uses them.\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsRawControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Characters that mean something to the line syntax are always escaped, so
// a reader never has to guess which occurrence is structural.
bool NeedsHexEscape(unsigned char c) {
  return IsRawControl(c) || c == '=' || c == '[' || c == ']' || c == ';' || c == '#' || c == '"';
}

void AppendHex(std::string& out, unsigned char c) {
  out += "\\x";
  out += HexDigits[c >> 4];
  out += HexDigits[c & 0x0F];
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string_view WithoutTrailingCarriageReturn(std::string_view line) {
  // A file saved by an editor with CR LF line ends still reads; our own CRs
  // are always escaped, so a raw one can only be a line end.
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

std::string EscapeSettingsText(std::string_view raw) {
  std::string out;
  out.reserve(raw.size() + 8);
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto c = static_cast<unsigned char>(raw[i]);
    const bool atEdge = i == 0 || i + 1 == raw.size();
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (NeedsHexEscape(c) || (atEdge && IsBlank(raw[i]))) {
      AppendHex(out, c);
    } else {
      out += raw[i];
    }
  }
  return out;
}

bool UnescapeSettingsText(std::string_view escaped, std::string& raw) {
  raw.clear();
  raw.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    if (IsRawControl(static_cast<unsigned char>(c)) && c != '\t') return false;
    if (c != '\\') {
      raw += c;
      continue;
    }
    if (++i >= escaped.size()) return false;
    switch (escaped[i]) {
      case '\\': raw += '\\'; break;
      case 'n': raw += '\n'; break;
      case 'r': raw += '\r'; break;
      case 't': raw += '\t'; break;
      case 'x': {
        if (i + 2 >= escaped.size()) return false;
        const int high = HexValue(escaped[i + 1]);
        const int low = HexValue(escaped[i + 2]);
        if (high < 0 || low < 0) return false;
        raw += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

std::string SerializeSettings(const SettingsTree& tree) {
  std::string out(FileHeader);
  for (const auto& [section, keys] : tree) {
    out += '[';
    out += EscapeSettingsText(section);
    out += "]\n";
    for (const auto& [key, value] : keys) {
      out += EscapeSettingsText(key);
      out += '=';
      out += EscapeSettingsText(value);
      out += '\n';
    }
  }
  return out;
}

SettingsTree ParseSettings(std::string_view text) {
  SettingsTree tree;
  std::map<std::string, std::string>* currentSection = nullptr;
  std::string name;
  std::string value;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = WithoutTrailingCarriageReturn(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      currentSection = nullptr;
      if (line.size() < 2 || line.back() != ']') continue;
      if (!UnescapeSettingsText(line.substr(1, line.size() - 2), name)) continue;
      currentSection = &tree[name];
      continue;
    }
    if (currentSection == nullptr) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (!UnescapeSettingsText(line.substr(0, equals), name)) continue;
    if (!UnescapeSettingsText(line.substr(equals + 1), value)) continue;
    (*currentSection)[name] = value;
  }
  return tree;
}

}  // namespace store

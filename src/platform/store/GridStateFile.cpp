#include "platform/store/GridStateFile.h"

#include <charconv>
#include <optional>

#include "platform/store/AtomicFile.h"
#include "platform/store/FileLock.h"
#include "platform/store/SettingsFormat.h"
#include "platform/store/UserFolders.h"

namespace store {

namespace {

// A few lines per table; anything far larger is not ours.
constexpr std::size_t MaxStateFileBytes = 4 * 1024 * 1024;
constexpr const char* ZoomKey = "zoom";
constexpr const char* WidthPrefix = "width:";
// Widths and zooms past these are no one's choice.
constexpr int LargestWidth = 100000;
constexpr int LargestZoom = 100;

// One section per data source and table; the escaping of the format keeps
// any byte of either, the line break between them too.
std::string SectionOf(const std::string& dataSource, const std::string& table) {
  return dataSource + '\n' + table;
}

std::optional<int> NumberIn(const std::string& text, int largest) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < -largest || value > largest)
    return std::nullopt;
  return value;
}

SettingsTree ReadTree(const std::string& path) {
  const auto content = ReadWholeFile(path, MaxStateFileBytes);
  return content ? ParseSettings(*content) : SettingsTree{};
}

}  // namespace

std::string GridStateFile::StateFolder() { return XdgFolder("XDG_STATE_HOME", ".local/state"); }

GridStateFile::GridStateFile(const std::string& applicationName)
    : folder_(StateFolder() + "/" + FolderNameFor(applicationName)), path_(folder_ + "/grids.ini") {}

GridLayout GridStateFile::Read(const std::string& dataSource, const std::string& table) const {
  GridLayout layout;
  const SettingsTree tree = ReadTree(path_);
  const auto keys = tree.find(SectionOf(dataSource, table));
  if (keys == tree.end()) return layout;
  for (const auto& [key, value] : keys->second) {
    if (key == ZoomKey) {
      layout.zoom = NumberIn(value, LargestZoom).value_or(0);
    } else if (key.starts_with(WidthPrefix)) {
      if (const auto width = NumberIn(value, LargestWidth); width && *width > 0)
        layout.widths[key.substr(std::char_traits<char>::length(WidthPrefix))] = *width;
    }
  }
  return layout;
}

void GridStateFile::Write(const std::string& dataSource, const std::string& table, const GridLayout& layout) {
  EnsureFolder(folder_, "the grid's layout");
  FileLock lock(path_ + ".lock");
  SettingsTree tree = ReadTree(path_);
  auto& keys = tree[SectionOf(dataSource, table)];
  keys.clear();
  if (layout.zoom != 0) keys[ZoomKey] = std::to_string(layout.zoom);
  for (const auto& [name, width] : layout.widths) keys[WidthPrefix + name] = std::to_string(width);
  if (keys.empty()) tree.erase(SectionOf(dataSource, table));
  ReplaceFileAtomically(path_, SerializeSettings(tree));
}

}  // namespace store

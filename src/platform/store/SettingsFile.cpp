#include "platform/store/SettingsFile.h"

#include "platform/store/AtomicFile.h"
#include "platform/store/FileLock.h"
#include "platform/store/SettingsFormat.h"
#include "platform/store/UserFolders.h"

namespace store {

namespace {

// A settings file is a few lines; anything far larger is not ours and is
// not worth reading into memory.
constexpr std::size_t MaxSettingsFileBytes = 16 * 1024 * 1024;

}  // namespace

std::string SettingsFile::ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

SettingsFile::SettingsFile(const std::string& applicationName)
    : folder_(ConfigFolder() + "/" + FolderNameFor(applicationName)),
      path_(folder_ + "/settings.ini") {}

std::optional<std::string> SettingsFile::Read(const std::string& section,
                                              const std::string& key) const {
  const auto content = ReadWholeFile(path_, MaxSettingsFileBytes);
  if (!content) return std::nullopt;
  const SettingsTree tree = ParseSettings(*content);
  const auto keys = tree.find(section);
  if (keys == tree.end()) return std::nullopt;
  const auto value = keys->second.find(key);
  if (value == keys->second.end()) return std::nullopt;
  return value->second;
}

void SettingsFile::Write(const std::string& section, const std::string& key,
                         const std::string& value) {
  EnsureFolder(folder_, "the settings");
  FileLock lock(path_ + ".lock");
  SettingsTree tree;
  if (const auto content = ReadWholeFile(path_, MaxSettingsFileBytes)) tree = ParseSettings(*content);
  tree[section][key] = value;
  ReplaceFileAtomically(path_, SerializeSettings(tree));
}

}  // namespace store

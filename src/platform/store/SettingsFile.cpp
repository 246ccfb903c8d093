#include "platform/store/SettingsFile.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/store/AtomicFile.h"
#include "platform/store/FileLock.h"
#include "platform/store/SettingsFormat.h"

namespace store {

namespace {

// A settings file is a few lines; anything far larger is not ours and is
// not worth reading into memory.
constexpr std::size_t MaxSettingsFileBytes = 16 * 1024 * 1024;

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/tmp";
}

// The application name becomes a folder name: path separators, a leading
// dot and control characters would change where the file lands, so they are
// written as %XX.
std::string FolderNameFor(const std::string& applicationName) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  std::string name;
  for (std::size_t i = 0; i < applicationName.size(); ++i) {
    const auto c = static_cast<unsigned char>(applicationName[i]);
    if (c == '/' || c == '%' || c < 0x20 || c == 0x7F || (i == 0 && c == '.')) {
      name += '%';
      name += Hex[c >> 4];
      name += Hex[c & 0x0F];
    } else {
      name += static_cast<char>(c);
    }
  }
  return name.empty() ? std::string("%00") : name;
}

void EnsureFolder(const std::string& folder) {
  // Create every missing level, privately, as XDG asks for new folders.
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string level = folder.substr(0, slash);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
      throw std::runtime_error("Cannot save the settings: creating the folder " + level + ": " +
                               std::strerror(errno));
    }
    if (slash == std::string::npos) break;
  }
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    throw std::runtime_error("Cannot save the settings: " + folder + " is not a folder");
  }
}

}  // namespace

std::string SettingsFile::ConfigFolder() {
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
    return config;
  }
  return HomeFolder() + "/.config";
}

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
  EnsureFolder(folder_);
  FileLock lock(path_ + ".lock");
  SettingsTree tree;
  if (const auto content = ReadWholeFile(path_, MaxSettingsFileBytes)) tree = ParseSettings(*content);
  tree[section][key] = value;
  ReplaceFileAtomically(path_, SerializeSettings(tree));
}

}  // namespace store

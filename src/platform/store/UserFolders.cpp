#include "platform/store/UserFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace store {

namespace {

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/tmp";
}

}  // namespace

std::string XdgFolder(const char* variable, const std::string& underHome) {
  if (const char* folder = std::getenv(variable); folder != nullptr && folder[0] == '/') return folder;
  return HomeFolder() + "/" + underHome;
}

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

void EnsureFolder(const std::string& folder, const std::string& what) {
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string level = folder.substr(0, slash);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
      throw std::runtime_error("Cannot save " + what + ": creating the folder " + level + ": " +
                               std::strerror(errno));
    }
    if (slash == std::string::npos) break;
  }
  struct stat status {};
  if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
    throw std::runtime_error("Cannot save " + what + ": " + folder + " is not a folder");
  }
}

}  // namespace store

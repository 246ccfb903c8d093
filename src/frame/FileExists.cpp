#include <sys/stat.h>

#include "frame/Appearance.h"

namespace frame {

bool FileExists(const std::string& path) {
  // Whatever can be stat'ed has a modification time; a dangling link or an
  // unreachable folder cannot.
  struct stat status {};
  return !path.empty() && ::stat(path.c_str(), &status) == 0;
}

bool SkinFilePresent(const std::string& path) {
  // Hidden and system attributes do not exist here; a name starting with a
  // dot is the nearest thing to a hidden file. A link counts as what it
  // points to.
  const auto slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty() || name.front() == '.') return false;
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace frame

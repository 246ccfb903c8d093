#include "DatabaseFileWatch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <system_error>

namespace ado {
namespace {

// Where the file opened is now, found through this process's own open
// files; std::nullopt where no name leads to it any more (deleted) or it
// is not open here.
std::optional<std::string> NameNow(dev_t device, ino_t inode, bool& deleted) {
  std::error_code failed;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", failed)) {
    struct stat status {};
    if (stat(entry.path().c_str(), &status) != 0 || status.st_dev != device || status.st_ino != inode) continue;
    if (status.st_nlink == 0) {
      deleted = true;
      return std::nullopt;
    }
    const std::filesystem::path target = std::filesystem::read_symlink(entry.path(), failed);
    if (!failed) return target.string();
  }
  return std::nullopt;
}

}  // namespace

DatabaseFileWatch::DatabaseFileWatch(std::string path) : path_(std::move(path)) {
  struct stat status {};
  if (path_.empty() || stat(path_.c_str(), &status) != 0) return;
  device_ = status.st_dev;
  inode_ = status.st_ino;
  watched_ = true;
}

std::string DatabaseFileWatch::WhatHappened() const {
  if (!watched_) return {};
  struct stat status {};
  const bool named = stat(path_.c_str(), &status) == 0;
  if (named && status.st_dev == device_ && status.st_ino == inode_) return {};
  const std::string file = "The database file \"" + path_ + "\"";
  const std::string after = " after the table was opened, so nothing can be changed here and the rows shown may "
                            "be out of date. Go < Back and open the table again.";
  bool deleted = false;
  const std::optional<std::string> now = NameNow(device_, inode_, deleted);
  if (named) {
    if (now) return file + " was replaced by another file (the one opened is now \"" + *now + "\")" + after;
    return file + " was replaced by another file" + after;
  }
  if (now) return file + " was moved to \"" + *now + "\"" + after;
  return file + " was deleted" + after;
}

}  // namespace ado

#pragma once

#include <map>
#include <string>

namespace store {

// What the user set for the grid of one table: the widths of the columns
// sized by hand (by column name, in pixels) and the zoom of the font (in
// points more or less than the page's).
struct GridLayout {
  std::map<std::string, int> widths;
  int zoom = 0;
  bool operator==(const GridLayout&) const = default;
};

// The grids' layouts, per data source and table, in the file
// <state folder>/<application name>/grids.ini, where the state folder is
// $XDG_STATE_HOME, or ~/.local/state when that is unset or not absolute.
// It sits beside the settings, not in them: it is state the program may
// lose without harm.
//
// Reading never fails and creates nothing: a missing, unreadable or damaged
// file, or a damaged line of it, reads as nothing set. Writing replaces the
// file atomically under an exclusive lock, keeping the other tables'
// layouts, and raises std::runtime_error when it cannot (the old file
// stays).
class GridStateFile {
 public:
  explicit GridStateFile(const std::string& applicationName);

  const std::string& path() const { return path_; }

  GridLayout Read(const std::string& dataSource, const std::string& table) const;
  void Write(const std::string& dataSource, const std::string& table, const GridLayout& layout);

  static std::string StateFolder();

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace store

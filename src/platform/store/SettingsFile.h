#pragma once

#include <optional>
#include <string>

namespace store {

// The per-user settings of one application: the file
// <config folder>/<application name>/settings.ini, where the config folder is
// $XDG_CONFIG_HOME, or ~/.config when that is unset or not absolute.
//
// Reading never fails and never creates anything: a missing, unreadable or
// damaged file reads as missing keys. Writing replaces the file atomically
// under an exclusive lock, keeps the file private to its user and raises
// std::runtime_error when the store cannot be written, leaving the old file
// intact.
class SettingsFile {
 public:
  explicit SettingsFile(const std::string& applicationName);

  const std::string& path() const { return path_; }

  std::optional<std::string> Read(const std::string& section, const std::string& key) const;
  void Write(const std::string& section, const std::string& key, const std::string& value);

  // The folder that holds the settings of every application.
  static std::string ConfigFolder();

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace store

#pragma once

#include <string>

namespace store {

// The folder an XDG base-directory variable names (XDG_CONFIG_HOME,
// XDG_STATE_HOME), or the user's home folder followed by `underHome`
// (".config", ".local/state") when it is unset or not absolute.
std::string XdgFolder(const char* variable, const std::string& underHome);

// The application name as a folder name: path separators, a leading dot and
// control characters would change where a file lands, so they are written
// as %XX.
std::string FolderNameFor(const std::string& applicationName);

// Creates every missing level of the folder, privately, as XDG asks for new
// folders. Raises std::runtime_error ("Cannot save <what>: ...") when it
// cannot, or when the path is no folder.
void EnsureFolder(const std::string& folder, const std::string& what);

}  // namespace store

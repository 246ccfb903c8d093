#pragma once

#include <optional>
#include <string>

namespace store {

// Replaces the file's content all at once: a reader sees either the old or
// the new content, never a mix, and a crash or a full disk midway leaves the
// old file as it was. The new file is readable by its owner only and is on
// disk (data and folder entry) before this returns. Raises
// std::runtime_error naming the path and the cause when it cannot.
void ReplaceFileAtomically(const std::string& path, const std::string& content);

// The file's content, or nothing when it is missing, not a regular file,
// unreadable or larger than maxBytes. Never raises.
std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t maxBytes);

}  // namespace store

#pragma once

#include <QCursor>
#include <string>

namespace ui {

// Loads a Windows cursor file (.CUR) with its hot spot. Raises
// std::runtime_error with a clear description when the file cannot be read or
// is not a valid cursor.
QCursor LoadCursorFile(const std::string& path);

}  // namespace ui

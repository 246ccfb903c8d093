#pragma once

#include <QByteArray>
#include <QString>
#include <string>

namespace ui {

// The style sheet held by the bytes of a skin file. A skin is a style sheet
// in UTF-8; an empty file or one that is not text is refused rather than
// applied: it can only be a damaged or wrong file, and applying it would
// silently remove the look. `path` only names the file in failures. Raises
// std::runtime_error.
QString SkinStyleSheet(const QByteArray& bytes, const std::string& path);

}  // namespace ui

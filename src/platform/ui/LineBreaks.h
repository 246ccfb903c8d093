#pragma once

#include <QString>

namespace ui {

// The line break a value uses: its first one ("\r\n", "\r" or "\n"); "\n"
// for a value without any. A line break the user types is written in this
// style, so a value stored with CR LF keeps CR LF.
QString LineBreakOf(const QString& value);

// Text edited in a multi-line editor (whose lines are split at "\n") with
// its line breaks written as `lineBreak`.
QString WithLineBreaks(const QString& text, const QString& lineBreak);

}  // namespace ui

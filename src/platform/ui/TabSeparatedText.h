#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace ui {

// Cells as spreadsheets put them on the clipboard: one line per row, tabs
// between cells; a cell holding a tab, a line break or a leading quote is
// put in quotes, with quotes inside doubled.
QString ToTabSeparated(const QList<QStringList>& rows);
QList<QStringList> FromTabSeparated(const QString& text);

}  // namespace ui

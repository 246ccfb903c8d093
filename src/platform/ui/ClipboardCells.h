#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include <QMimeData>

namespace ui {

// Cells as they go through the clipboard: text, or NULL (std::nullopt).
using ClipboardCells = QList<QList<std::optional<QString>>>;

// The program's own copy carries every cell exactly, NULL and the text
// "NULL" apart, beside the tab-separated text other programs read (where a
// NULL cell is the word NULL).
inline constexpr char CellsMimeType[] = "application/x-quorvane-cells";
std::unique_ptr<QMimeData> CellsMimeData(const ClipboardCells& rows);

// What a paste takes from the clipboard: the program's own copy where it
// is there, else tab-separated text read by CellsOfText.
ClipboardCells CellsOf(const QMimeData* data);
// Tab-separated text from other programs: a field that is exactly NULL is
// NULL; every other field is its text (an empty one as an emptied cell).
ClipboardCells CellsOfText(const QList<QStringList>& lines);

}  // namespace ui

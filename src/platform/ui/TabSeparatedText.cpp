#include "TabSeparatedText.h"

namespace ui {

QString ToTabSeparated(const QList<QStringList>& rows) {
  QString text;
  for (const QStringList& row : rows) {
    QStringList cells;
    for (QString cell : row) {
      if (cell.contains(QLatin1Char('\t')) || cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r')) ||
          cell.startsWith(QLatin1Char('"')))
        cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
      cells << cell;
    }
    text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
  }
  return text;
}

QList<QStringList> FromTabSeparated(const QString& text) {
  QList<QStringList> rows;
  QStringList row;
  QString cell;
  bool quoted = false;     // inside a quoted cell
  bool cellStart = true;   // nothing of the cell read yet
  for (qsizetype at = 0; at < text.size(); ++at) {
    const QChar c = text.at(at);
    if (quoted) {
      if (c != QLatin1Char('"')) {
        cell += c;
      } else if (at + 1 < text.size() && text.at(at + 1) == QLatin1Char('"')) {
        cell += c;
        ++at;
      } else {
        quoted = false;
      }
      continue;
    }
    if (cellStart && c == QLatin1Char('"')) {
      quoted = true;
      cellStart = false;
    } else if (c == QLatin1Char('\t')) {
      row << cell;
      cell.clear();
      cellStart = true;
    } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
      if (c == QLatin1Char('\r') && at + 1 < text.size() && text.at(at + 1) == QLatin1Char('\n')) ++at;
      row << cell;
      rows << row;
      row.clear();
      cell.clear();
      cellStart = true;
    } else {
      cell += c;
      cellStart = false;
    }
  }
  // A last line without its line break.
  if (!cellStart || !row.isEmpty()) rows << (row << cell);
  return rows;
}

}  // namespace ui

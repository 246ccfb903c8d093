#include "ClipboardCells.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>

#include "TabSeparatedText.h"

namespace ui {
namespace {

const QString NullWord = QStringLiteral("NULL");

}  // namespace

std::unique_ptr<QMimeData> CellsMimeData(const ClipboardCells& rows) {
  QJsonArray exact;
  QList<QStringList> text;
  for (const QList<std::optional<QString>>& row : rows) {
    QJsonArray cells;
    QStringList line;
    for (const std::optional<QString>& cell : row) {
      cells.append(cell ? QJsonValue(*cell) : QJsonValue(QJsonValue::Null));
      line << cell.value_or(NullWord);
    }
    exact.append(cells);
    text << line;
  }
  auto data = std::make_unique<QMimeData>();
  data->setText(ToTabSeparated(text));
  data->setData(CellsMimeType, QJsonDocument(exact).toJson(QJsonDocument::Compact));
  return data;
}

ClipboardCells CellsOfText(const QList<QStringList>& lines) {
  ClipboardCells rows;
  for (const QStringList& line : lines) {
    QList<std::optional<QString>> cells;
    for (const QString& field : line) cells << (field == NullWord ? std::nullopt : std::optional(field));
    rows << cells;
  }
  return rows;
}

ClipboardCells CellsOf(const QMimeData* data) {
  if (!data) return {};
  if (data->hasFormat(CellsMimeType)) {
    const QJsonDocument document = QJsonDocument::fromJson(data->data(CellsMimeType));
    if (document.isArray()) {
      ClipboardCells rows;
      for (const QJsonValue& row : document.array()) {
        QList<std::optional<QString>> cells;
        for (const QJsonValue& cell : row.toArray())
          cells << (cell.isNull() ? std::nullopt : std::optional(cell.toString()));
        rows << cells;
      }
      return rows;
    }
  }
  return CellsOfText(FromTabSeparated(data->text()));
}

}  // namespace ui

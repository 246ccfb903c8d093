#include "ColumnTypeWidth.h"

#include <sql.h>
#include <sqlext.h>

#include <QString>

namespace ui {

namespace {

// A date is at least "2024-12-31"; a timestamp with fractions and an offset
// is some 32 characters. A size past this is a text column's, no date's.
constexpr std::size_t kShortestDate = 10;
constexpr std::size_t kLongestDate = 40;
constexpr std::size_t kTimestampCharacters = 19;
// Digits past this are no integer's or decimal's a cell should show whole.
constexpr std::size_t kMostDigits = 40;

int DigitsWidth(std::size_t characters, const QFontMetrics& metrics) {
  return metrics.horizontalAdvance(QString(static_cast<qsizetype>(characters), QLatin1Char('0')));
}

}  // namespace

int ColumnTypeWidth(const ado::ColumnInfo& column, const QFontMetrics& metrics) {
  if (column.holdsDate()) {
    const std::size_t size = column.size >= kShortestDate && column.size <= kLongestDate ? column.size
                                                                                          : kTimestampCharacters;
    return DigitsWidth(size, metrics);
  }
  switch (column.sqlType) {
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      // The digits and a minus sign.
      return column.size > 0 && column.size <= kMostDigits ? DigitsWidth(column.size + 1, metrics) : 0;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      // The digits, a sign and the decimal point.
      return column.size > 0 && column.size <= kMostDigits ? DigitsWidth(column.size + 2, metrics) : 0;
    default:
      return 0;
  }
}

}  // namespace ui

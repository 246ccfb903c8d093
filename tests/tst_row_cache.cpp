#include <QtTest>

#include "platform/ado/AdoError.h"
#include "platform/ado/detail/RowCache.h"

namespace {

void AddRow(ado::RowCache& cache, const std::vector<std::optional<std::string>>& cells) {
  cache.BeginRow();
  for (const auto& cell : cells) {
    if (!cell) {
      cache.AddNull();
      continue;
    }
    cache.AppendToCell(*cell);
    cache.EndCell();
  }
  cache.EndRow();
}

std::optional<std::string> Read(const ado::RowCache& cache, std::size_t row, int column) {
  const ado::CellView view = cache.cell(row, column);
  if (view.isNull) return std::nullopt;
  return std::string(view.text);
}

}  // namespace

class TestRowCache : public QObject {
  Q_OBJECT

 private slots:
  void cellsKeepNullEmptyAndBytesApart() {
    ado::RowCache cache(4);
    AddRow(cache, {std::nullopt, std::string(), std::string("a\0b", 3), std::string("Grüße")});
    AddRow(cache, {std::string("x"), std::nullopt, std::nullopt, std::string()});
    QCOMPARE(cache.rowCount(), std::size_t(2));
    QVERIFY(!Read(cache, 0, 0));
    QCOMPARE(Read(cache, 0, 1), std::optional<std::string>(""));
    QCOMPARE(Read(cache, 0, 2), std::optional<std::string>(std::string("a\0b", 3)));
    QCOMPARE(Read(cache, 0, 3), std::optional<std::string>("Grüße"));
    QCOMPARE(Read(cache, 1, 0), std::optional<std::string>("x"));
    QVERIFY(!Read(cache, 1, 1));
    QVERIFY(!Read(cache, 1, 2));
    QCOMPARE(Read(cache, 1, 3), std::optional<std::string>(""));
    QVERIFY_THROWS_EXCEPTION(ado::Error, cache.cell(2, 0));
    QVERIFY_THROWS_EXCEPTION(ado::Error, cache.cell(0, 4));
    QVERIFY_THROWS_EXCEPTION(ado::Error, cache.cell(0, -1));
  }

  void valuesArriveInPiecesAndFailedRowsLeaveNoTrace() {
    ado::RowCache cache(2);
    AddRow(cache, {std::string("first"), std::string("row")});
    cache.BeginRow();
    cache.AppendToCell("lo");
    cache.AppendToCell("ng");
    cache.EndCell();
    cache.AbandonRow();  // a read that failed half-way
    QCOMPARE(cache.rowCount(), std::size_t(1));
    cache.BeginRow();
    cache.AppendToCell("pie");
    cache.AppendToCell("ces");
    cache.EndCell();
    cache.AddNull();
    cache.EndRow();
    QCOMPARE(Read(cache, 1, 0), std::optional<std::string>("pieces"));
    QVERIFY(!Read(cache, 1, 1));
    QCOMPARE(cache.arenaBytes(), std::size_t(5 + 3 + 6));
    // A row with too few cells is refused and dropped.
    cache.BeginRow();
    cache.AddNull();
    QVERIFY_THROWS_EXCEPTION(ado::Error, cache.EndRow());
    QCOMPARE(cache.rowCount(), std::size_t(2));
    QCOMPARE(Read(cache, 0, 1), std::optional<std::string>("row"));
  }

  void replacedRowShowsNewValuesAndLeavesOthersAlone() {
    ado::RowCache cache(3);
    AddRow(cache, {std::string("1"), std::string("old"), std::nullopt});
    AddRow(cache, {std::string("2"), std::string("keep"), std::string("me")});
    cache.ReplaceRow(0, {std::string("1"), std::nullopt, std::string("a much longer value")});
    QCOMPARE(Read(cache, 0, 0), std::optional<std::string>("1"));
    QVERIFY(!Read(cache, 0, 1));
    QCOMPARE(Read(cache, 0, 2), std::optional<std::string>("a much longer value"));
    QCOMPARE(Read(cache, 1, 1), std::optional<std::string>("keep"));
    QCOMPARE(Read(cache, 1, 2), std::optional<std::string>("me"));
    // Rows added after a replacement still read right.
    AddRow(cache, {std::string("3"), std::string(), std::nullopt});
    QCOMPARE(Read(cache, 2, 0), std::optional<std::string>("3"));
    QCOMPARE(Read(cache, 2, 1), std::optional<std::string>(""));
    QVERIFY_THROWS_EXCEPTION(ado::Error, cache.ReplaceRow(3, {std::nullopt, std::nullopt, std::nullopt}));
    QVERIFY_THROWS_EXCEPTION(ado::Error, cache.ReplaceRow(0, {std::nullopt}));
  }

  // A long value is held by its beginning and whole size, whichever way it
  // comes in and wherever its row moves; a column that is not to be cut
  // keeps it whole.
  void longValuesAreHeldCutWhereverTheRowsGo() {
    ado::RowCache cache(2, ado::CellCut{10, {true, false}});
    const std::string longText(ado::RowCache::HeldPrefixBytes + 100, 'x');
    AddRow(cache, {std::string(), std::nullopt});  // no bytes: starts where the next row does
    cache.BeginRow();
    cache.AppendToCell("abc");
    cache.EndCutCell(5000000);
    cache.AppendToCell("key");
    cache.EndCell();
    cache.EndRow();
    QVERIFY(!cache.cell(0, 0).cut());
    QCOMPARE(cache.cell(1, 0).size(), std::uint64_t(5000000));
    cache.InsertRow(0, {longText, longText});
    QCOMPARE(cache.cell(0, 0).text, std::string_view(longText).substr(0, ado::RowCache::HeldPrefixBytes));
    QCOMPARE(cache.cell(0, 0).wholeSize, std::uint64_t(longText.size()));
    QVERIFY(!cache.cell(0, 1).cut() && cache.cell(0, 1).text.size() == longText.size());
    QCOMPARE(cache.WholeSizes(2), (std::map<int, std::uint64_t>{{0, 5000000}}));
    cache.RemoveRows(0, 1);
    QCOMPARE(cache.cell(1, 0).wholeSize, std::uint64_t(5000000));
    QCOMPARE(Read(cache, 1, 1), std::optional<std::string>("key"));
    // A row abandoned half-way leaves no mark on the next one.
    cache.BeginRow();
    cache.AppendToCell("p");
    cache.EndCutCell(99);
    cache.AbandonRow();
    AddRow(cache, {std::string("p"), std::nullopt});
    QVERIFY(!cache.cell(2, 0).cut());
    cache.ReplaceRow(2, {longText, std::nullopt});
    QCOMPARE(cache.cell(2, 0).wholeSize, std::uint64_t(longText.size()));
  }

  void manyRowsCostTheirBytesAndNotAnObjectPerCell() {
    ado::RowCache cache(3);
    const std::size_t rows = 200000;
    for (std::size_t row = 0; row < rows; ++row)
      AddRow(cache, {std::to_string(row), std::nullopt, std::string("abcd")});
    QCOMPARE(cache.rowCount(), rows);
    std::size_t digits = 0;
    for (std::size_t row = 0; row < rows; ++row) digits += std::to_string(row).size();
    QCOMPARE(cache.arenaBytes(), digits + rows * 4);
    QCOMPARE(Read(cache, 123456, 0), std::optional<std::string>("123456"));
    QVERIFY(!Read(cache, 199999, 1));
    QCOMPARE(Read(cache, 199999, 2), std::optional<std::string>("abcd"));
  }
};

QTEST_GUILESS_MAIN(TestRowCache)
#include "tst_row_cache.moc"

#include <QBitmap>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QtTest>
#include <random>
#include <stdexcept>

#include "CursorFileBuilder.h"
#include "platform/ui/CursorFile.h"

using namespace testing;

class CursorFileTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir folder_;

  QString Save(const QByteArray& bytes, const QString& name = QStringLiteral("c.cur")) {
    const QString path = folder_.filePath(name);
    if (!WriteFile(path, bytes)) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

  // The load must fail with a description, not crash or read out of bounds.
  static QString FailureOf(const QString& path) {
    try {
      ui::LoadCursorFile(path.toStdString());
    } catch (const std::runtime_error& failure) {
      return QString::fromStdString(failure.what());
    }
    return {};
  }

 private slots:
  void loadsBitmapCursorsOfEveryDepth_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("keepsRed");
    QTest::newRow("1 bit") << 1 << false;
    QTest::newRow("4 bits") << 4 << true;
    QTest::newRow("8 bits") << 8 << true;
    QTest::newRow("24 bits") << 24 << true;
    QTest::newRow("32 bits") << 32 << true;
  }

  void loadsBitmapCursorsOfEveryDepth() {
    QFETCH(int, bits);
    QFETCH(bool, keepsRed);
    const QString path = Save(BitmapCursor(SampleCursorPicture(), bits, 7, 3));
    const QCursor cursor = ui::LoadCursorFile(path.toStdString());
    QCOMPARE(cursor.hotSpot(), QPoint(7, 3));
    const QImage image = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 32));
    QCOMPARE(qAlpha(image.pixel(3, 3)), 0);
    QCOMPARE(qAlpha(image.pixel(3, 28)), 0);
    QCOMPARE(image.pixel(20, 5), qRgb(255, 255, 255));
    // One bit per pixel has only black and white: red comes out black.
    QCOMPARE(image.pixel(20, 28), keepsRed ? qRgb(255, 0, 0) : qRgb(0, 0, 0));
  }

  void loadsAPngCursor() {
    const QString path = Save(PngCursor(SampleCursorPicture(48), 40, 2));
    const QCursor cursor = ui::LoadCursorFile(path.toStdString());
    QCOMPARE(cursor.hotSpot(), QPoint(40, 2));
    const QImage image = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(48, 48));
    QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
    QCOMPARE(image.pixel(30, 40), qRgb(255, 0, 0));
  }

  void rejectsFilesThatAreNotThere() {
    QVERIFY(FailureOf(folder_.filePath("missing.cur")).contains("does not exist"));
    QVERIFY(folder_.path().size() > 0);
    QDir(folder_.path()).mkdir("folder.cur");
    QVERIFY(FailureOf(folder_.filePath("folder.cur")).contains("not a file"));
    QVERIFY(FailureOf(Save({}, "empty.cur")).contains("empty"));
  }

  void rejectsEveryTruncationOfAValidFile_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("bitmap") << BitmapCursor(SampleCursorPicture(8), 4, 0, 0);
    QTest::newRow("png") << PngCursor(SampleCursorPicture(8), 0, 0);
  }

  void rejectsEveryTruncationOfAValidFile() {
    QFETCH(QByteArray, file);
    QVERIFY(FailureOf(Save(file)).isEmpty());
    for (qsizetype length = 1; length < file.size(); ++length) {
      const QString failure = FailureOf(Save(file.left(length)));
      QVERIFY2(!failure.isEmpty(), qPrintable(QStringLiteral("prefix of %1 bytes loaded").arg(length)));
    }
  }

  void rejectsDamagedHeaders_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    const QByteArray valid = BitmapCursor(SampleCursorPicture(16), 8, 1, 1);
    auto with = [&valid](auto change) {
      QByteArray damaged = valid;
      change(damaged);
      return damaged;
    };
    constexpr int Dib = ImageStart;
    QTest::newRow("icon, not cursor") << with([](QByteArray& b) { SetU16(b, TypeOffset, 1); }) << "not a cursor";
    QTest::newRow("no images") << with([](QByteArray& b) { SetU16(b, CountOffset, 0); }) << "no images";
    QTest::newRow("many entries") << with([](QByteArray& b) { SetU16(b, CountOffset, 65535); }) << "truncated";
    QTest::newRow("offset beyond end") << with([](QByteArray& b) { SetU32(b, EntryImageOffset, 0xFFFFFFF0u); }) << "truncated";
    QTest::newRow("huge size") << with([](QByteArray& b) { SetU32(b, EntrySizeOffset, 0xFFFFFFFFu); }) << "truncated";
    QTest::newRow("hot spot outside") << with([](QByteArray& b) { SetU16(b, EntryOffset + 4, 16); }) << "hot spot";
    QTest::newRow("header size huge") << with([](QByteArray& b) { SetU32(b, Dib, 0x7FFFFFFF); }) << "header size";
    QTest::newRow("width huge") << with([](QByteArray& b) { SetU32(b, Dib + 4, 100000); }) << "dimensions";
    QTest::newRow("width negative") << with([](QByteArray& b) { SetU32(b, Dib + 4, 0xFFFFFFFFu); }) << "dimensions";
    QTest::newRow("height odd") << with([](QByteArray& b) { SetU32(b, Dib + 8, 31); }) << "dimensions";
    QTest::newRow("height top-down") << with([](QByteArray& b) { SetU32(b, Dib + 8, static_cast<std::uint32_t>(-32)); }) << "dimensions";
    QTest::newRow("height too big for data") << with([](QByteArray& b) { SetU32(b, Dib + 8, 512); }) << "truncated";
    QTest::newRow("two planes") << with([](QByteArray& b) { SetU16(b, Dib + 12, 2); }) << "planes";
    QTest::newRow("16 bits") << with([](QByteArray& b) { SetU16(b, Dib + 14, 16); }) << "depth";
    QTest::newRow("compressed") << with([](QByteArray& b) { SetU32(b, Dib + 16, 1); }) << "compression";
    QTest::newRow("palette too long") << with([](QByteArray& b) { SetU32(b, Dib + 32, 257); }) << "palette";
    QByteArray badPng = PngCursor(SampleCursorPicture(16), 0, 0);
    for (int i = ImageStart + 16; i < badPng.size(); ++i) badPng[i] = 'x';
    QTest::newRow("png body garbage") << badPng << "PNG";
    QByteArray bigPng = PngCursor(SampleCursorPicture(16), 0, 0);
    SetU32(bigPng, ImageStart + 16, 0x00100000);  // width in the IHDR chunk, big-endian 4096
    QTest::newRow("png huge") << bigPng << "PNG";
  }

  void rejectsDamagedHeaders() {
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    const QString failure = FailureOf(Save(file));
    QVERIFY2(failure.contains(expected, Qt::CaseInsensitive), qPrintable(failure));
  }

  // Random damage may give a loadable file or a failure; it must never give
  // anything else (the sanitizers catch reads out of bounds).
  void survivesRandomDamage() {
    const QByteArray valids[] = {BitmapCursor(SampleCursorPicture(16), 1, 0, 0),
                                 BitmapCursor(SampleCursorPicture(16), 32, 0, 0),
                                 PngCursor(SampleCursorPicture(16), 0, 0)};
    std::mt19937 random(20240531);
    int failures = 0;
    for (const QByteArray& valid : valids) {
      for (int round = 0; round < 300; ++round) {
        QByteArray damaged = valid;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i) {
          damaged[static_cast<qsizetype>(random() % damaged.size())] = static_cast<char>(random());
        }
        if (!FailureOf(Save(damaged)).isEmpty()) ++failures;
      }
    }
    QVERIFY(failures > 0);
  }
};

QTEST_MAIN(CursorFileTest)
#include "tst_cursor_file.moc"

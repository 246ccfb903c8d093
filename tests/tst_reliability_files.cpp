// Files the program reads or writes that someone else damaged: the hand
// cursor and skin files beside the program, and the settings store (full
// disk, a writer killed in the middle of saving, damaged contents at
// start). The page load reports a bad file at its step and goes on; the
// store always holds the old or the new value, whole.
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "CursorFileBuilder.h"
#include "frame/Appearance.h"
#include "frame/Application.h"
#include "frame/Settings.h"
#include "pages/Form1.h"
#include "pages/Wizard.h"
#include "platform/store/SettingsFile.h"
#include "platform/store/SettingsFormat.h"
#include "platform/ui/ProcessLauncher.h"
#include "support/MessageBoxRecorder.h"

namespace {

const std::string Section = frame::ProductName;
const std::string Key = frame::DataSourceNameKey;

QByteArray ValidCursor() { return testing::BitmapCursor(testing::SampleCursorPicture(), 32, 3, 2); }

bool Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

}  // namespace

class ReliabilityFilesTest : public QObject {
  Q_OBJECT
  QTemporaryDir folder_;
  std::unique_ptr<support::MessageBoxRecorder> boxes_;

  QString program() const { return folder_.filePath("program"); }
  QString config() const { return folder_.filePath("config"); }
  QString storePath() const { return config() + "/" + frame::AppName + "/settings.ini"; }

  std::vector<std::string> Reports() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes_->boxes()) texts.push_back(box.text);
    return texts;
  }

  // Starts the program (no stored name: it stays on the connection page)
  // and checks that it still works: caption set, typing stored.
  void StartAndUse(int expectedLine) {
    pages::Wizard wizard;
    wizard.Start();
    pages::Form1& form1 = wizard.form1();
    QVERIFY(form1.isVisible());
    QCOMPARE(form1.windowTitle(), QString(frame::ProductName));
    const auto reports = Reports();
    QCOMPARE(reports.size(), std::size_t(1));
    const std::string where = "Form1.Form_Load at line " + std::to_string(expectedLine) + "\r\r";
    QVERIFY2(reports[0].find(where) != std::string::npos, reports[0].c_str());
    form1.Text1->setText("still typing");
    QCOMPARE(frame::ReadSetting(frame::AppName, Section, Key), std::string("still typing"));
  }

 private slots:
  void initTestCase() {
    QVERIFY(folder_.isValid());
    frame::SetProgramFolder(program().toStdString());
    frame::SetRandomDraw([] { return 0.5f; });
    ui::SetProcessLauncher([](const std::string&) {});
    ui::SetProgramEnder([] {});
  }
  void init() {
    QDir(program()).removeRecursively();
    QDir(config()).removeRecursively();
    QVERIFY(QDir().mkpath(program() + "/x"));
    qputenv("XDG_CONFIG_HOME", config().toUtf8());
    boxes_ = std::make_unique<support::MessageBoxRecorder>();
  }
  void cleanup() {
    boxes_.reset();
    QFile::setPermissions(program() + "/x/o.cjs", QFile::ReadOwner | QFile::WriteOwner);
  }

  void hostileCursorFilesAreReportedAtTheirLoadingStep_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("truncated") << "truncated";
    QTest::newRow("zero bytes") << "empty";
    QTest::newRow("a directory") << "directory";
    QTest::newRow("claims a huge image") << "claim";
    QTest::newRow("huge file") << "huge";
  }
  void hostileCursorFilesAreReportedAtTheirLoadingStep() {
    QFETCH(QString, kind);
    const QString path = QString::fromStdString(frame::HandCursorFilePath());
    const QByteArray valid = ValidCursor();
    if (kind == "truncated") {
      QVERIFY(Write(path, valid.left(valid.size() / 2)));
    } else if (kind == "empty") {
      QVERIFY(Write(path, {}));
    } else if (kind == "directory") {
      QVERIFY(QDir().mkpath(path));
    } else if (kind == "claim") {
      QByteArray claim = valid;
      testing::SetU32(claim, testing::EntrySizeOffset, 0xFFFFFFF0u);
      QVERIFY(Write(path, claim));
    } else {
      QVERIFY(Write(path, valid));
      QVERIFY(::truncate(path.toLocal8Bit().constData(), 5LL << 30) == 0);  // sparse: no disk used
    }
    StartAndUse(108);
  }

  void hostileSkinFilesAreReportedAtTheSkinStep_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty") << "empty";
    QTest::newRow("binary garbage") << "garbage";
    QTest::newRow("unreadable") << "unreadable";
  }
  void hostileSkinFilesAreReportedAtTheSkinStep() {
    QFETCH(QString, kind);
    const QString path = QString::fromStdString(frame::SkinFilePath());
    if (kind == "empty") {
      QVERIFY(Write(path, {}));
    } else if (kind == "garbage") {
      QByteArray garbage;
      for (int i = 0; i < 4096; ++i) garbage.append(static_cast<char>((i * 7919 + 13) % 256));
      QVERIFY(Write(path, garbage));
    } else if (::geteuid() != 0) {
      QVERIFY(Write(path, "QWidget { color: red; }"));
      QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    } else {
      // Root reads every file whatever its mode; this one fails every read.
      QVERIFY(QFile::link("/proc/self/mem", path));
    }
    StartAndUse(100);
  }

  void aFullDiskKeepsTheStoredValue() {
    if (::geteuid() != 0) QSKIP("mounting a small tmpfs needs root");
    const QString disk = folder_.filePath("disk");
    QVERIFY(QDir().mkpath(disk));
    if (::mount("tmpfs", disk.toLocal8Bit().constData(), "tmpfs", 0, "size=64k") != 0)
      QSKIP(qPrintable(QString("cannot mount a tmpfs here: ") + std::strerror(errno)));
    struct Unmount {
      QString path;
      ~Unmount() { ::umount2(path.toLocal8Bit().constData(), MNT_DETACH); }
    } unmount{disk};
    qputenv("XDG_CONFIG_HOME", disk.toUtf8());
    frame::WriteSetting(frame::AppName, Section, Key, "old name");
    // Fill the disk to the last block.
    QFile filler(disk + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             frame::WriteSetting(frame::AppName, Section, Key, std::string(8192, 'n')));
    QCOMPARE(frame::ReadSetting(frame::AppName, Section, Key), std::string("old name"));
    // The connection page says so once and goes on.
    {
      pages::Wizard wizard;
      wizard.Start();
      QCOMPARE(wizard.form1().Text1->text(), QString("old name"));
      wizard.form1().Text1->setText(QString(8192, 'n'));
      wizard.form1().Text1->setText(QString(8193, 'n'));
      QCOMPARE(boxes_->boxes().size(), std::size_t(1));
      QVERIFY(boxes_->boxes()[0].text.find("cannot be remembered") != std::string::npos);
    }
    QCOMPARE(frame::ReadSetting(frame::AppName, Section, Key), std::string("old name"));
    QFile::remove(disk + "/filler");
    frame::WriteSetting(frame::AppName, Section, Key, "new name");
    QCOMPARE(frame::ReadSetting(frame::AppName, Section, Key), std::string("new name"));
  }

  void aWriterKilledWhileTypingLeavesAWholeValue() {
    const QString helper = QCoreApplication::applicationDirPath() + "/type_setting";
    QVERIFY2(QFileInfo(helper).isExecutable(), qPrintable(helper + " was not built"));
    const std::string text = "QuorvaneDataSource with a long name";
    std::string previous;
    for (int round = 1; round <= 12; ++round) {
      QProcess typist;
      typist.start(helper, {QString::fromStdString(text), "0"});
      QVERIFY(typist.waitForStarted());
      QByteArray output;
      while (output.count('\n') < round * 3 && typist.waitForReadyRead(-1)) output += typist.readAllStandardOutput();
      QThread::usleep(static_cast<unsigned long>(round % 4) * 300);
      ::kill(static_cast<pid_t>(typist.processId()), SIGKILL);
      QVERIFY(typist.waitForFinished(-1));
      output += typist.readAllStandardOutput();
      const QList<QByteArray> lines = output.trimmed().split('\n');
      const std::size_t lastStored = lines.last().toULong();

      // The file itself is whole: every line parses, one section, one key.
      QFile file(storePath());
      QVERIFY(file.open(QIODevice::ReadOnly));
      const QByteArray raw = file.readAll();
      const store::SettingsTree tree = store::ParseSettings(std::string_view(raw.constData(), raw.size()));
      QCOMPARE(store::SerializeSettings(tree), raw.toStdString());
      QCOMPARE(tree.size(), std::size_t(1));
      const std::string value = frame::ReadSetting(frame::AppName, Section, Key, "<missing>");
      // What it last said it stored, or the keystroke after it.
      const std::size_t next = lastStored == text.size() ? 1 : lastStored + 1;
      QVERIFY2(value == text.substr(0, lastStored) || value == text.substr(0, next),
               qPrintable(QString("stored '%1', last reported %2").arg(QString::fromStdString(value)).arg(lastStored)));
      previous = value;
      // A start reads it without trouble.
      pages::Wizard wizard;
      wizard.Start();
      QCOMPARE(wizard.form1().Text1->text().toStdString(), value);
    }
    QVERIFY(!previous.empty());
    QVERIFY(boxes_->boxes().empty());
  }

  void aStartNeverStumblesOverADamagedStore_data() {
    QTest::addColumn<QByteArray>("content");
    QByteArray garbage;
    for (int i = 0; i < 8192; ++i) garbage.append(static_cast<char>((i * 131 + 7) % 256));
    QTest::newRow("binary garbage") << garbage;
    QTest::newRow("cut inside an escape") << QByteArray("[Quorvane Table Desk Suite]\nDataSourceName=abc\\x4");
    QTest::newRow("only a header") << QByteArray("[Quorvane Table Desk Suite");
    QTest::newRow("directory in place") << QByteArray();
  }
  void aStartNeverStumblesOverADamagedStore() {
    QFETCH(QByteArray, content);
    QVERIFY(QDir().mkpath(config() + "/" + frame::AppName));
    if (content.isEmpty())
      QVERIFY(QDir().mkpath(storePath()));
    else
      QVERIFY(Write(storePath(), content));
    pages::Wizard wizard;
    wizard.Start();
    QVERIFY(wizard.form1().isVisible());
    QCOMPARE(wizard.form1().Text1->text(), QString());
    QVERIFY(boxes_->boxes().empty());
  }
};

QTEST_MAIN(ReliabilityFilesTest)
#include "tst_reliability_files.moc"

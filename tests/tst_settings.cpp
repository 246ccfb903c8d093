#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <stdexcept>

#include "frame/Settings.h"
#include "platform/store/SettingsFile.h"

namespace {

const std::string App = frame::AppName;
const std::string Section = frame::ProductName;
const std::string Key = frame::DataSourceNameKey;

bool Throws(const std::function<void()>& action, std::string* message = nullptr) {
  try {
    action();
  } catch (const std::runtime_error& failure) {
    if (message != nullptr) *message = failure.what();
    return true;
  }
  return false;
}

// Makes a folder refuse new entries, also for root, who ignores permission
// bits: root gets the immutable attribute instead.
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const QString& path) : path_(path.toStdString()) {
    if (::geteuid() != 0) {
      ok_ = ::chmod(path_.c_str(), 0500) == 0;
      return;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    ok_ = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
          (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (fd >= 0) ::close(fd);
  }
  ~ReadOnlyFolder() {
    if (::geteuid() != 0) {
      ::chmod(path_.c_str(), 0700);
      return;
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
    int flags = 0;
    if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
      flags &= ~FS_IMMUTABLE_FL;
      ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    }
    if (fd >= 0) ::close(fd);
  }
  bool ok() const { return ok_; }

 private:
  std::string path_;
  bool ok_ = false;
};

}  // namespace

class SettingsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> config_;

  QString StoreFolder() const { return config_->filePath(QString::fromStdString(App)); }
  QString StorePath() const { return StoreFolder() + "/settings.ini"; }

  QStringList StoreEntries() const {
    return QDir(StoreFolder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  }

 private slots:
  void init() {
    config_ = std::make_unique<QTemporaryDir>();
    QVERIFY(config_->isValid());
    qputenv("XDG_CONFIG_HOME", config_->path().toUtf8());
  }

  void storeLivesUnderTheConfigFolder() {
    QCOMPARE(QString::fromStdString(store::SettingsFile(App).path()), StorePath());
    qputenv("XDG_CONFIG_HOME", "relative/is/ignored");
    QVERIFY(store::SettingsFile(App).path().ends_with("/.config/Vantorell/settings.ini"));
    QVERIFY(store::SettingsFile(App).path().starts_with("/"));
    // An application name cannot lead the file out of its folder.
    qputenv("XDG_CONFIG_HOME", config_->path().toUtf8());
    QCOMPARE(QString::fromStdString(store::SettingsFile("../x/y").path()),
             config_->filePath("%2E.%2Fx%2Fy/settings.ini"));
  }

  void awkwardTextsRoundTrip_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("blanks at both ends") << QByteArray("  my dsn \t ");
    QTest::newRow("syntax characters") << QByteArray("a=b; c # [d] \"e\" 'f'");
    QTest::newRow("section look-alike") << QByteArray("[Quorvane Table Desk Suite]");
    QTest::newRow("backslashes") << QByteArray("C:\\x\\o.cjs \\n \\x41 \\");
    QTest::newRow("line breaks") << QByteArray("one\r\ntwo\rthree\nfour\n");
    QTest::newRow("non-ASCII") << QByteArray("Grüße – データ 😀");
    QTest::newRow("control bytes") << QByteArray("\x01\x02\x1b\x7f", 4);
    QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe\xc3", 3);
    QTest::newRow("long") << QByteArray(100000, 'z');
  }

  void awkwardTextsRoundTrip() {
    QFETCH(QByteArray, value);
    const std::string text = value.toStdString();
    frame::WriteSetting(App, Section, Key, text);
    QCOMPARE(frame::ReadSetting(App, Section, Key, "default"), text);
    // The same texts as section and key names.
    frame::WriteSetting(App, text, text + "=", "v");
    QCOMPARE(frame::ReadSetting(App, text, text + "="), std::string("v"));
    QCOMPARE(frame::ReadSetting(App, Section, Key), text);
  }

  void missingKeysReadAsTheDefaultAndCreateNothing() {
    QCOMPARE(frame::ReadSetting(App, Section, Key), std::string());
    QCOMPARE(frame::ReadSetting(App, Section, Key, "fallback"), std::string("fallback"));
    QVERIFY(!QFileInfo::exists(StoreFolder()));

    frame::WriteSetting(App, Section, "Other", "1");
    QCOMPARE(frame::ReadSetting(App, Section, Key, "fallback"), std::string("fallback"));
    QCOMPARE(frame::ReadSetting(App, "Another Section", "Other", "d"), std::string("d"));
    QCOMPARE(frame::ReadSetting("AnotherApp", Section, "Other", "d"), std::string("d"));
  }

  void writesReplaceOneKeyAndKeepTheRest() {
    frame::WriteSetting(App, Section, Key, "q");
    frame::WriteSetting(App, Section, Key, "qu");
    frame::WriteSetting(App, Section, "Other", "kept");
    frame::WriteSetting(App, "Second", Key, "elsewhere");
    frame::WriteSetting(App, Section, Key, "quo");
    frame::WriteSetting(App, Section, Key, "");
    QCOMPARE(frame::ReadSetting(App, Section, Key, "default"), std::string());
    QCOMPARE(frame::ReadSetting(App, Section, "Other"), std::string("kept"));
    QCOMPARE(frame::ReadSetting(App, "Second", Key), std::string("elsewhere"));
    // No temporary file stays behind.
    QCOMPARE(StoreEntries(), (QStringList{"settings.ini", "settings.ini.lock"}));
  }

  void storeIsPrivateToItsUser() {
    const mode_t old = ::umask(0);
    frame::WriteSetting(App, Section, Key, "secret");
    ::umask(old);
    struct stat status {};
    QCOMPARE(::stat(StorePath().toLocal8Bit().constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0600u);
    QCOMPARE(::stat(StoreFolder().toLocal8Bit().constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0700u);
  }

  void readOnlyFolderRefusesWritesAndKeepsTheOldStore() {
    frame::WriteSetting(App, Section, Key, "old");
    ReadOnlyFolder readOnly(StoreFolder());
    if (!readOnly.ok()) QSKIP("this file system cannot make the folder read-only");
    std::string message;
    QVERIFY(Throws([] { frame::WriteSetting(App, Section, Key, "new"); }, &message));
    QVERIFY2(message.find("settings") != std::string::npos, message.c_str());
    QCOMPARE(frame::ReadSetting(App, Section, Key), std::string("old"));
  }

  void folderInPlaceOfTheFileRefusesWrites() {
    QVERIFY(QDir().mkpath(StorePath()));
    QCOMPARE(frame::ReadSetting(App, Section, Key, "d"), std::string("d"));
    std::string message;
    QVERIFY(Throws([] { frame::WriteSetting(App, Section, Key, "x"); }, &message));
    QVERIFY2(message.find(StorePath().toStdString()) != std::string::npos, message.c_str());
    QVERIFY(QFileInfo(StorePath()).isDir());
  }

  void fileInPlaceOfTheFolderRefusesWrites() {
    QVERIFY(QFile(StoreFolder()).open(QIODevice::WriteOnly));
    QCOMPARE(frame::ReadSetting(App, Section, Key, "d"), std::string("d"));
    QVERIFY(Throws([] { frame::WriteSetting(App, Section, Key, "x"); }));
  }

  void fullDiskRefusesWritesAndKeepsTheOldStore() {
    frame::WriteSetting(App, Section, Key, "old");
    const QByteArray before = [this] {
      QFile file(StorePath());
      file.open(QIODevice::ReadOnly);
      return file.readAll();
    }();
    // A file size limit makes writes fail the way a full disk does.
    struct rlimit saved {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool refused = Throws([] { frame::WriteSetting(App, Section, Key, std::string(10000, 'n')); });
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(refused);
    QFile file(StorePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QCOMPARE(StoreEntries(), (QStringList{"settings.ini", "settings.ini.lock"}));
  }

  void damagedStoresReadAsMissingKeys() {
    QVERIFY(QDir().mkpath(StoreFolder()));
    QFile garbage(StorePath());
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i) bytes.append(static_cast<char>((i * 7919) % 256));
    garbage.write(bytes);
    garbage.close();
    QCOMPARE(frame::ReadSetting(App, Section, Key, "d"), std::string("d"));
    frame::WriteSetting(App, Section, Key, "fresh");
    QCOMPARE(frame::ReadSetting(App, Section, Key), std::string("fresh"));
  }

  void damagedLinesAreSkippedAndTheRestReads() {
    QVERIFY(QDir().mkpath(StoreFolder()));
    QFile file(StorePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("orphan=before any section\r\n"
               "[Quorvane Table Desk Suite]\r\n"
               "DataSourceName=my dsn\r\n"
               "Broken=\\q\n"
               "Truncated=\\x4\n"
               "no equals sign\n"
               "[unclosed\n"
               "Lost=after a broken header\n"
               "[Quorvane Table Desk Suite]\n"
               "Second=two\n");
    file.close();
    QCOMPARE(frame::ReadSetting(App, Section, Key), std::string("my dsn"));
    QCOMPARE(frame::ReadSetting(App, Section, "Second"), std::string("two"));
    QCOMPARE(frame::ReadSetting(App, Section, "Broken", "d"), std::string("d"));
    QCOMPARE(frame::ReadSetting(App, Section, "Truncated", "d"), std::string("d"));
    QCOMPARE(frame::ReadSetting(App, "unclosed", "Lost", "d"), std::string("d"));
    QCOMPARE(frame::ReadSetting(App, Section, "Lost", "d"), std::string("d"));
  }

  // Two processes saving at once: each read-modify-write must see the
  // other's finished work, or keys would vanish.
  void concurrentWritersLoseNothing() {
    constexpr int Writers = 2;
    constexpr int WritesEach = 60;
    pid_t children[Writers] = {};
    for (int writer = 0; writer < Writers; ++writer) {
      children[writer] = ::fork();
      QVERIFY(children[writer] >= 0);
      if (children[writer] == 0) {
        int status = 0;
        try {
          store::SettingsFile file(App);
          for (int i = 0; i < WritesEach; ++i) {
            file.Write(Section, "w" + std::to_string(writer) + "-" + std::to_string(i), std::to_string(i));
            file.Write(Section, Key, "writer " + std::to_string(writer));
          }
        } catch (...) {
          status = 1;
        }
        ::_exit(status);
      }
    }
    for (pid_t child : children) {
      int status = 0;
      QCOMPARE(::waitpid(child, &status, 0), child);
      QVERIFY(WIFEXITED(status));
      QCOMPARE(WEXITSTATUS(status), 0);
    }
    for (int writer = 0; writer < Writers; ++writer) {
      for (int i = 0; i < WritesEach; ++i) {
        const std::string key = "w" + std::to_string(writer) + "-" + std::to_string(i);
        QCOMPARE(frame::ReadSetting(App, Section, key, "lost"), std::to_string(i));
      }
    }
    const std::string last = frame::ReadSetting(App, Section, Key);
    QVERIFY(last == "writer 0" || last == "writer 1");
    QCOMPARE(StoreEntries(), (QStringList{"settings.ini", "settings.ini.lock"}));
  }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"

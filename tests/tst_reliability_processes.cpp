// Other processes: two copies of the editing path working on the same row
// at once, and a copy killed outright (SIGKILL) in the middle of its
// writes. Every value stored must be a whole one that some copy wrote and
// was told was saved, no other row may change, and the server must not be
// left with a session idle in a transaction.
#include <signal.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QThread>

#include "support/EditingFixture.h"

using namespace reliability;

namespace {

QString EditOnce() { return QCoreApplication::applicationDirPath() + "/edit_once"; }

struct Outcome {
  std::vector<long> saved;
  int busy = 0;
  int conflicts = 0;
  QStringList errors;
};

Outcome Parse(const QByteArray& output) {
  Outcome outcome;
  for (const QByteArray& line : output.split('\n')) {
    const QList<QByteArray> words = line.split(' ');
    if (words.size() < 2) continue;
    if (words[0] == "ok") outcome.saved.push_back(words[1].toLong());
    else if (words[0] == "busy") ++outcome.busy;
    else if (words[0] == "conflict") ++outcome.conflicts;
    else if (words[0] == "error") outcome.errors << QString::fromUtf8(line);
  }
  return outcome;
}

// A stored value as edit_once writes it: <length> copies of one letter,
// ":" and the number of the write, whose letter it is.
bool Whole(const std::string& value, std::size_t length, long* number) {
  const auto colon = value.find(':');
  if (colon != length || value.size() <= length + 1) return false;
  *number = std::stol(value.substr(length + 1));
  return value.find_first_not_of(static_cast<char>('A' + *number % 26)) == length;
}

}  // namespace

class ReliabilityProcessesTest : public QObject {
  Q_OBJECT
  Sources sources_{"Process"};

 private slots:
  void initTestCase() {
    QVERIFY(sources_.valid());
    support::UsePrivateDataSources();
    QVERIFY2(QFileInfo(EditOnce()).isExecutable(), qPrintable(EditOnce() + " was not built"));
  }
  void cleanupTestCase() { sources_.Reset(); }

  void twoCopiesEditingOneRowKeepEachOthersWork_data() { AddAllDrivers(); }
  void twoCopiesEditingOneRowKeepEachOthersWork() {
    QFETCH(support::Driver, driver);
    constexpr int Writes = 40;
    const QString source = sources_.Fresh(driver);
    QUORVANE_SKIP_WITHOUT(source);
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE shared (id INTEGER PRIMARY KEY, body VARCHAR(100));\n"
        "INSERT INTO shared VALUES (1, 'start');\n"
        "INSERT INTO shared VALUES (2, 'bystander')");
    // The copies write values of different lengths, so a stored value
    // tells which copy wrote it.
    const std::size_t lengths[2] = {10, 11};
    QProcess copies[2];
    for (int copy = 0; copy < 2; ++copy)
      copies[copy].start(EditOnce(), {source, "shared", "1", "1", QString::number(lengths[copy]), QString::number(Writes)});
    Outcome outcomes[2];
    for (int copy = 0; copy < 2; ++copy) {
      QVERIFY(copies[copy].waitForFinished(-1));
      QVERIFY2(copies[copy].exitStatus() == QProcess::NormalExit && copies[copy].exitCode() == 0,
               copies[copy].readAllStandardError().constData());
      outcomes[copy] = Parse(copies[copy].readAllStandardOutput());
      const Outcome& outcome = outcomes[copy];
      QVERIFY2(outcome.errors.isEmpty(), qPrintable(outcome.errors.join('\n')));
      QCOMPARE(static_cast<int>(outcome.saved.size()) + outcome.busy + outcome.conflicts, Writes);
      QVERIFY(!outcome.saved.empty());
    }
    const Cell stored = sql.Scalar("SELECT body FROM shared WHERE id = 1");
    QVERIFY(stored);
    const int writer = stored->find(':') == lengths[0] ? 0 : 1;
    long number = 0;
    QVERIFY2(Whole(*stored, lengths[writer], &number), stored->c_str());
    QVERIFY2(std::ranges::find(outcomes[writer].saved, number) != outcomes[writer].saved.end(), stored->c_str());
    QCOMPARE(sql.Scalar("SELECT body FROM shared WHERE id = 2"), Cell("bystander"));
    QCOMPARE(sql.Scalar("SELECT count(*) FROM shared"), Cell("2"));
  }

  void aCopyKilledDuringAWriteLeavesTheOldOrTheNewValue_data() { AddDrivers(); }
  void aCopyKilledDuringAWriteLeavesTheOldOrTheNewValue() {
    QFETCH(bool, postgres);
    constexpr std::size_t Length = 200000;  // long enough to be killed mid-write
    const QString source = sources_.Fresh(postgres);
    if (source.isEmpty()) QSKIP("PostgreSQL test server not configured (run scripts/test)");
    support::DirectSql sql(source);
    sql.ExecScript(
        "CREATE TABLE target (id INTEGER PRIMARY KEY, body TEXT);\n"
        "INSERT INTO target VALUES (1, 'start');\n"
        "INSERT INTO target VALUES (2, 'bystander')");
    if (postgres) sql.Exec("SET lock_timeout = '30s'");
    Cell previous("start");
    for (int round = 1; round <= 6; ++round) {
      QProcess copy;
      copy.start(EditOnce(), {source, "target", "1", "1", QString::number(Length), "0"});
      QVERIFY(copy.waitForStarted());
      // Let it save a few times, then kill it wherever it is.
      QByteArray output;
      while (output.count('\n') < 1 + round % 3 && copy.waitForReadyRead(-1)) output += copy.readAllStandardOutput();
      QVERIFY2(output.startsWith("ready"), output.constData());
      QThread::usleep(static_cast<unsigned long>(round) * 7000);
      ::kill(static_cast<pid_t>(copy.processId()), SIGKILL);
      QVERIFY(copy.waitForFinished(-1));
      QCOMPARE(copy.exitStatus(), QProcess::CrashExit);
      output += copy.readAllStandardOutput();
      const Outcome outcome = Parse(output);
      QVERIFY2(outcome.errors.isEmpty() && outcome.conflicts == 0, output.constData());
      const long lastSaved = outcome.saved.empty() ? 0 : outcome.saved.back();

      if (postgres) {
        // The server notices the closed socket and ends the session,
        // undoing whatever it had begun.
        int others = -1;
        for (int wait = 0; wait < 1200 && others != 0; ++wait) {
          others = std::stoi(*sql.Scalar("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                                         "AND pid <> pg_backend_pid() AND backend_type = 'client backend'"));
          if (others != 0) QThread::msleep(50);
        }
        QCOMPARE(others, 0);
        QCOMPARE(sql.Scalar("SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation "
                            "WHERE c.relname = 'target' AND l.pid <> pg_backend_pid()"),
                 Cell("0"));
      } else {
        QCOMPARE(sql.Scalar("PRAGMA integrity_check"), Cell("ok"));
      }
      const Cell stored = sql.Scalar("SELECT body FROM target WHERE id = 1");
      QVERIFY(stored);
      // The last value it was told was saved, or the one it was writing;
      // before its first save possibly still the value from before.
      long number = 0;
      const bool whole = Whole(*stored, Length, &number);
      const bool expected = whole ? (number == lastSaved || number == lastSaved + 1 || (lastSaved == 0 && stored == previous))
                                  : (lastSaved == 0 && stored == previous);
      QVERIFY2(expected, qPrintable(QString("stored %1... (%2 bytes), last saved write %3")
                                        .arg(QString::fromStdString(stored->substr(0, 12))).arg(stored->size()).arg(lastSaved)));
      previous = stored;
      QCOMPARE(sql.Scalar("SELECT body FROM target WHERE id = 2"), Cell("bystander"));
      // No lock is left behind: another session writes the row at once.
      sql.Exec("UPDATE target SET body = body WHERE id = 1");
    }
  }
};

QTEST_MAIN(ReliabilityProcessesTest)
#include "tst_reliability_processes.moc"

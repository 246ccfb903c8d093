// The command line: the display check before any window, and what the built
// program answers to --version, --help and a missing display.
#include <QProcess>
#include <QTest>

#include "frame/CommandLine.h"

namespace {

bool Reachable(const std::string&) { return true; }
bool Unreachable(const std::string&) { return false; }

const char* OrNull(const QByteArray& value) { return value.isNull() ? nullptr : value.constData(); }

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void requestedPlatform_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Qt's choice") << QStringList{} << QByteArray() << "";
    QTest::newRow("environment list with options") << QStringList{} << QByteArray("xcb:x=1;wayland")
                                                   << "xcb";
    QTest::newRow("argument beats environment")
        << QStringList{"-platform", "offscreen"} << QByteArray("xcb") << "offscreen";
    QTest::newRow("argument with two dashes") << QStringList{"--platform", "wayland-egl"}
                                              << QByteArray() << "wayland-egl";
  }
  void requestedPlatform() {
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, environment);
    QFETCH(QString, expected);
    arguments.prepend("quorvane-table-desk");
    std::vector<QByteArray> storage;
    std::vector<char*> argv;
    for (const QString& argument : arguments) storage.push_back(argument.toUtf8());
    for (QByteArray& argument : storage) argv.push_back(argument.data());
    QCOMPARE(QString::fromStdString(frame::RequestedPlatform(static_cast<int>(argv.size()),
                                                             argv.data(), OrNull(environment))),
             expected);
  }

  void displayProblem_data() {
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<QString>("problem");  // the start of it; empty: none
    QTest::newRow("offscreen needs nothing") << "offscreen" << QByteArray() << QByteArray() << false << "";
    QTest::newRow("X11 display") << "" << QByteArray(":0") << QByteArray() << true << "";
    QTest::newRow("Wayland display") << "" << QByteArray() << QByteArray("wayland-0") << false << "";
    QTest::newRow("neither") << "" << QByteArray() << QByteArray() << false << "no display: neither";
    QTest::newRow("empty counts as unset") << "" << QByteArray("") << QByteArray("") << false
                                           << "no display: neither";
    QTest::newRow("X11 display unreachable") << "" << QByteArray(":9") << QByteArray() << false
                                             << "cannot open the X11 display :9";
    QTest::newRow("xcb ignores Wayland") << "xcb" << QByteArray() << QByteArray("wayland-0") << true
                                         << "no X11 display";
    QTest::newRow("wayland ignores X11") << "wayland" << QByteArray(":0") << QByteArray() << true
                                         << "no Wayland display";
  }
  void displayProblem() {
    QFETCH(QString, platform);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, wayland);
    QFETCH(bool, reachable);
    QFETCH(QString, problem);
    const QString found = QString::fromStdString(
        frame::DisplayProblem(platform.toStdString(), OrNull(display), OrNull(wayland),
                              reachable ? &Reachable : &Unreachable));
    QVERIFY2(problem.isEmpty() ? found.isEmpty() : found.startsWith(problem), qPrintable(found));
    QVERIFY(!found.contains('\n'));
  }

  // The built program, started as a user would.
  void programAnswersWithoutAWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");  // a line that stdout holds
    QTest::addColumn<QString>("err");  // all of stderr
    QTest::newRow("version") << QStringList{"--version"} << 0
                             << "quorvane-table-desk " QUORVANE_TEST_VERSION << "";
    QTest::newRow("help names the settings") << QStringList{"--help"} << 0
                                             << "  /settings-here/Vantorell/settings.ini" << "";
    QTest::newRow("no display")
        << QStringList{} << 1 << ""
        << "quorvane-table-desk: no display: neither DISPLAY nor WAYLAND_DISPLAY is set "
           "(xvfb-run runs the program on a virtual one)\n";
  }
  void programAnswersWithoutAWindow() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
    environment.insert("XDG_CONFIG_HOME", "/settings-here");
    program.setProcessEnvironment(environment);
    program.start(QCoreApplication::applicationDirPath() + "/../quorvane-table-desk", arguments);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), exitCode);
    const QStringList lines = QString::fromUtf8(program.readAllStandardOutput()).split('\n');
    QVERIFY2(out.isEmpty() ? lines == QStringList{""} : lines.contains(out), qPrintable(lines.join('\n')));
    QCOMPARE(QString::fromUtf8(program.readAllStandardError()), err);
  }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"

// The station's command line and its start without a display: what is printed, the exit codes,
// the port and log folder handed on, and that neither help nor a refusal leaves a packet log.
#include "graphical_session.h"
#include "station_options.h"
#include "station_version.h"

#include <QtTest>

namespace {

QProcessEnvironment environment(const QStringList& variables)
{
    QProcessEnvironment result;
    for (const QString& variable : variables)
        result.insert(variable.section('=', 0, 0), variable.section('=', 1));
    return result;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void optionsAreReadOrRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("port"); // -1: none given
        QTest::addColumn<QString>("shown"); // a part of the printed text

        const int run = StationOptions::Run, print = StationOptions::Print, error = StationOptions::Error;
        QTest::newRow("nothing") << QStringList() << run << -1 << QString();
        QTest::newRow("port with =") << QStringList{ "--port=1" } << run << 1 << QString();
        QTest::newRow("port, one dash") << QStringList{ "-port", "65535" } << run << 65535 << QString();
        QTest::newRow("Qt's platform passes") << QStringList{ "-platform", "offscreen", "--port", "5" } << run << 5 << QString();
        QTest::newRow("short help") << QStringList{ "-h" } << print << -1 << "--log-dir <DIR>";
        QTest::newRow("version") << QStringList{ "--version" } << print << -1 << "zarnik-station " STATION_VERSION "\n";
        QTest::newRow("port zero") << QStringList{ "--port", "0" } << error << -1 << "1 to 65535, not '0'";
        QTest::newRow("port too big") << QStringList{ "--port", "65536" } << error << -1 << "not '65536'";
        QTest::newRow("port not a number") << QStringList{ "--port", "4o005" } << error << -1 << "not '4o005'";
        QTest::newRow("port without value") << QStringList{ "--port" } << error << -1 << "'--port'";
        QTest::newRow("two unknown options") << QStringList{ "--a", "--b" } << error << -1 << "see --help";
        QTest::newRow("log folder under a plain file") << QStringList{ "--log-dir", "/dev/null/logs" } << error << -1 << "not a writable folder";
        QTest::newRow("log folder empty") << QStringList{ "--log-dir=" } << error << -1 << QString();
        QTest::newRow("stray argument") << QStringList{ "40005" } << error << -1 << "unexpected argument '40005'";
    }

    void optionsAreReadOrRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, outcome);
        QFETCH(int, port);
        QFETCH(QString, shown);
        StationOptions options;
        QCOMPARE(int(options.parse(QStringList{ "zarnik-station" } + arguments)), outcome);
        QCOMPARE(options.port() ? int(*options.port()) : -1, port);
        const QString text = options.text();
        QVERIFY2(text.contains(shown), qPrintable(text));
        if (outcome == StationOptions::Error)
            QVERIFY2(text.startsWith("zarnik-station: ") && !text.contains('\n'), qPrintable(text));
    }

    void logFolderIsCreatedAndMadeAbsolute()
    {
        QTemporaryDir scratch;
        QDir::setCurrent(scratch.path());
        StationOptions options;
        QCOMPARE(options.parse({ "zarnik-station", "--log-dir", "logs/today" }), StationOptions::Run);
        QCOMPARE(options.logDirectory(), scratch.filePath("logs/today"));
        QVERIFY(QFileInfo(scratch.filePath("logs/today")).isDir());
    }

    void displayNeededByThePlatform_data()
    {
        QTest::addColumn<QString>("platform"); // the -platform value
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QString>("missing"); // empty: the station may start

        QTest::newRow("X11 by default, no DISPLAY") << QString() << QStringList() << "DISPLAY is not set";
        QTest::newRow("xcb with options, no DISPLAY") << QString() << QStringList{ "QT_QPA_PLATFORM=xcb:nomitshm" } << "DISPLAY";
        QTest::newRow("offscreen needs nothing") << QString() << QStringList{ "QT_QPA_PLATFORM=offscreen" } << QString();
        QTest::newRow("-platform wins over the variable") << "offscreen" << QStringList{ "QT_QPA_PLATFORM=xcb" } << QString();
        QTest::newRow("wayland, no socket name") << QString() << QStringList{ "QT_QPA_PLATFORM=wayland", "DISPLAY=:0" } << "WAYLAND_DISPLAY";
        QTest::newRow("wayland") << QString() << QStringList{ "QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=wayland-0" } << QString();
        QTest::newRow("fallback list, second usable") << QString() << QStringList{ "QT_QPA_PLATFORM=wayland;xcb", "DISPLAY=:0" } << QString();
        QTest::newRow("fallback list, none usable") << QString() << QStringList{ "QT_QPA_PLATFORM=wayland;xcb" } << "WAYLAND_DISPLAY is not set, DISPLAY is not set";
        QTest::newRow("empty DISPLAY") << QString() << QStringList{ "DISPLAY=" } << "DISPLAY is not set";
    }

    void displayNeededByThePlatform()
    {
        QFETCH(QString, platform);
        QFETCH(QStringList, variables);
        QFETCH(QString, missing);
        const QString line = graphicalsession::missing(platform, environment(variables));
        QVERIFY2(missing.isEmpty() ? line.isEmpty() : line.contains(missing), qPrintable(line));
        if (!missing.isEmpty())
            QVERIFY(line.startsWith("zarnik-station: needs a graphical session") && !line.contains('\n'));
    }

    // The real program: printed lines, exit code, no crash, and no packet log left behind.
    void programEndsCleanlyWithoutWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // standard output must contain it
        QTest::addColumn<QString>("error");  // standard error must be this one line, if not empty

        QTest::newRow("help without display") << QStringList{ "--help" } << QStringList() << 0 << "Usage:" << QString();
        QTest::newRow("version without display") << QStringList{ "--version" } << QStringList() << 0
                                                 << "zarnik-station " STATION_VERSION << QString();
        QTest::newRow("bad option") << QStringList{ "--prot", "40005" } << QStringList{ "QT_QPA_PLATFORM=offscreen" } << 2
                                    << QString() << "zarnik-station: Unknown option 'prot' (see --help)";
        QTest::newRow("no display at all") << QStringList() << QStringList() << 1 << QString()
                                           << "zarnik-station: needs a graphical session (DISPLAY is not set);";
        QTest::newRow("display that does not answer") << QStringList() << QStringList{ "DISPLAY=:917" } << 1 << QString()
                                                      << "zarnik-station: needs a graphical session (could not connect to display :917)";
    }

    void programEndsCleanlyWithoutWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, variables);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, error);
        QTemporaryDir folder;
        QProcess station;
        QProcessEnvironment env = environment(variables);
        env.insert("HOME", folder.path()); // keeps the user's settings out of reach
        env.insert("XDG_CONFIG_HOME", folder.filePath("config"));
        station.setProcessEnvironment(env);
        station.setWorkingDirectory(folder.path());
        station.start(ZARNIK_STATION, arguments);
        QVERIFY(station.waitForFinished(30000));
        const QString out = QString::fromLocal8Bit(station.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(station.readAllStandardError());
        QCOMPARE(station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(station.exitCode(), exitCode);
        QVERIFY2(out.contains(output), qPrintable(out));
        if (!error.isEmpty())
            QVERIFY2(err.startsWith(error) && err.count('\n') == 1, qPrintable(err));
        QCOMPARE(QDir(folder.path()).entryList({ "log-*.bin" }, QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"

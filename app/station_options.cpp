#include "station_options.h"
#include "station_version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

// Qt's own options (QGuiApplication and QApplication): accepted here so they reach Qt unchanged.
const char* const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "geometry",
    "qwindowicon", "qwindowtitle", "display", "style", "stylesheet", "session", "widgetcount",
};
const char* const kQtFlags[] = { "reverse", "nograb", "dograb", "sync" };

QString errorLine(QString what)
{
    what = what.section(QLatin1Char('\n'), 0, 0).trimmed();
    if (what.endsWith(QLatin1Char('.')))
        what.chop(1);
    return QStringLiteral("zarnik-station: %1 (see --help)").arg(what);
}

} // namespace

StationOptions::Outcome StationOptions::parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Control station for the ZARNIK radio modems. Without options it listens on UDP port\n"
        "40005 and writes its packet logs to the working folder."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({ QStringLiteral("h"), QStringLiteral("help") },
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({ QStringLiteral("v"), QStringLiteral("version") },
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Local UDP port to start with (1..65535)."),
                                  QStringLiteral("N"));
    const QCommandLineOption logDirOption(
        QStringLiteral("log-dir"),
        QStringLiteral("Folder for the packet logs, created if missing (default: working folder)."),
        QStringLiteral("DIR"));
    parser.addOptions({ help, version, port, logDirOption });
    for (const char* name : kQtOptionsWithValue) {
        QCommandLineOption qtOption(QLatin1String(name), QString(), QStringLiteral("value"));
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption qtFlag{ QLatin1String(name) };
        qtFlag.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtFlag);
    }

    if (!parser.parse(arguments)) {
        shown = errorLine(parser.errorText());
        return Error;
    }
    if (parser.isSet(help)) {
        shown = parser.helpText();
        return Print;
    }
    if (parser.isSet(version)) {
        shown = QStringLiteral("zarnik-station " STATION_VERSION "\n");
        return Print;
    }
    if (!parser.positionalArguments().isEmpty()) {
        shown = errorLine(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
        return Error;
    }
    if (parser.isSet(port)) {
        bool ok = false;
        const uint value = parser.value(port).toUInt(&ok);
        if (!ok || value < 1 || value > 65535) {
            shown = errorLine(QStringLiteral("--port needs a number from 1 to 65535, not '%1'").arg(parser.value(port)));
            return Error;
        }
        startPort = quint16(value);
    }
    if (parser.isSet(logDirOption)) {
        const QString folder = parser.value(logDirOption);
        if (folder.isEmpty() || !QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
            shown = errorLine(QStringLiteral("--log-dir '%1' is not a writable folder").arg(folder));
            return Error;
        }
        logDir = QDir(folder).absolutePath();
    }
    platformName = parser.value(QStringLiteral("platform"));
    return Run;
}

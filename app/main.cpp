// The station: one main window on one event loop. Reads its command line before it needs a
// display, refuses cleanly without one, and remembers the operator's windows, port and attenuator.
#include "graphical_session.h"
#include "mainwindow.h"
#include "screen_fit.h"
#include "station_memory.h"
#include "station_options.h"
#include "station_version.h"
#include "window_geometry_store.h"

#include <QApplication>
#include <QSettings>

#include <cstdio>

namespace {

// Help, version and option errors; 0 when the station is to start.
int readCommandLine(int argc, char* argv[], StationOptions& options)
{
    // A plain application object: the command line is read before any display is needed.
    QCoreApplication commandLine(argc, argv);
    switch (options.parse(commandLine.arguments())) {
    case StationOptions::Print:
        std::fputs(options.text().toLocal8Bit().constData(), stdout);
        return 0;
    case StationOptions::Error:
        std::fprintf(stderr, "%s\n", options.text().toLocal8Bit().constData());
        return 2;
    case StationOptions::Run:
        break;
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setOrganizationName(QStringLiteral("zarnik"));
    QCoreApplication::setApplicationName(QStringLiteral("zarnik-station"));
    QCoreApplication::setApplicationVersion(QStringLiteral(STATION_VERSION));

    StationOptions options;
    if (const int done = readCommandLine(argc, argv, options); done >= 0)
        return done;
    const QString missing =
        graphicalsession::missing(options.platform(), QProcessEnvironment::systemEnvironment());
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "%s\n", missing.toLocal8Bit().constData());
        return 1;
    }

    graphicalsession::beginStartUpGuard();
    QApplication application(argc, argv);
    graphicalsession::endStartUpGuard();

    QSettings settings;
    StationMemory memory(settings);
    StationStart start;
    start.port = options.port() ? options.port() : memory.lastPort();
    start.logDirectory = options.logDirectory();

    int result = 0;
    {
        MainWindow window(start);
        memory.restoreAttenuator(&window);
        screenfit::arrange(&window);
        WindowGeometryStore geometries(settings);
        geometries.track(&window, QStringLiteral("main"));
        for (const WindowsMenu::Entry& entry : window.windowsMenu().windows())
            geometries.track(entry.window, entry.name);
        window.show();
        result = application.exec();
        geometries.saveVisible();
        memory.save(&window);
    }
    return result;
}

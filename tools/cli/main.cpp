// zarnik-cli: the station's modem commands for scripts, without a window.
#include "fleetcli.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    FleetCli cli(out, err);
    const int exit = cli.run(app.arguments().mid(1));
    out.flush();
    err.flush();
    return exit;
}

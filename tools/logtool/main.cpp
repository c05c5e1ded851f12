// zarnik-log: reads the station's packet logs into text, CSV, JSON lines, statistics or pcap.

#include "logtool.h"
#include "logtooloptions.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    LogToolOptions options;
    QString text;
    switch (options.parse(app.arguments(), text)) {
    case LogToolOptions::Help:
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    case LogToolOptions::Error:
        std::fprintf(stderr, "zarnik-log: %s\nTry zarnik-log --help.\n", text.toLocal8Bit().constData());
        return 2;
    case LogToolOptions::Run:
        break;
    }
    LogTool tool(options, stdout, stderr);
    return tool.run();
}

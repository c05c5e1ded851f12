// Logs one sent frame into the folder given as argument, then dies by SIGKILL:
// whatever the packet log had not handed to the OS by then is lost.

#include "client.h"

#include <QCoreApplication>
#include <csignal>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Client client;
    QString folder = QString::fromLocal8Bit(argc > 1 ? argv[1] : ".");
    client.set_logger_path(folder);
    if (!client.initialize(QHostAddress::LocalHost, 0))
        return 1;
    client.logger_enable(true);
    const quint16 port = client.getControlLocalPort();
    client.send(CMD_GET_REPORT, protocol::payloadFrom("\x08\x81"), QHostAddress::LocalHost, port);
    raise(SIGKILL);
}

// Logs one sent frame into the folder given as argument, then dies by SIGKILL:
// whatever the packet log had not handed to the OS by then is lost.

#include "client.h"

#include <QCoreApplication>
#include <csignal>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Client client;
    QString folder = QString::fromLocal8Bit(argv[1]);
    client.set_logger_path(folder);
    if (!client.initialize(QHostAddress(QHostAddress::LocalHost), 0))
        return 1;
    client.logger_enable(true);
    OP_PAYLOAD_t request;
    request.bytes[0] = 0x08;
    request.bytes[1] = 0x81;
    client.send(CMD_GET_REPORT, request, QHostAddress(QHostAddress::LocalHost), client.getControlLocalPort());
    raise(SIGKILL);
    return 0;
}

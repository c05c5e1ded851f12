#pragma once
// Shared pieces of the modem link tests: captured debug lines and a Client whose receive path
// can be fed without a socket.

#include "client.h"

#include <QStringList>

// Collects debug lines while alive; other messages go to the previous handler.
class DebugCapture {
public:
    DebugCapture() { previous = qInstallMessageHandler(&handle); }
    ~DebugCapture() { qInstallMessageHandler(previous); lines.clear(); }
    static inline QStringList lines;

private:
    static inline QtMessageHandler previous = nullptr;
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtDebugMsg)
            lines.append(message);
        else if (previous)
            previous(type, context, message);
    }
};

// Client with its receive path and ageing pass reachable from a test.
class ReceivePath : public Client {
public:
    using Client::cleanupAbonentList;
    using Client::controlRecv;
    using Client::handleDatagram;

    void feed(const QByteArray& datagram, const QHostAddress& sender, quint16 senderPort)
    {
        handleDatagram(datagram.constData(), datagram.size(), sender, senderPort);
    }
};

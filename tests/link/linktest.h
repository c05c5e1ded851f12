#pragma once
// Shared pieces of the modem link tests: captured debug lines, the report-to-signal table
// the dispatch must follow, and a Client whose receive path can be fed without a socket.

#include "client.h"
#include "protocol.h"

#include <QHostAddress>
#include <QStringList>
#include <QVector>

// Collects debug lines while alive; other messages go to the previous handler.
class DebugCapture {
public:
    DebugCapture()
    {
        lines().clear();
        previous() = qInstallMessageHandler(&DebugCapture::handle);
    }
    ~DebugCapture() { qInstallMessageHandler(previous()); }

    static QStringList& lines()
    {
        static QStringList captured;
        return captured;
    }

private:
    static QtMessageHandler& previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (type == QtDebugMsg)
            lines().append(message);
        else if (previous())
            previous()(type, context, message);
    }
};

using ReportSignal = void (Client::*)(quint16, const QByteArray&);

struct ReportRoute {
    quint16 opcode;
    ReportSignal signal;
    const char* name;
};

inline const QVector<ReportRoute>& reportRoutes()
{
    static const QVector<ReportRoute> routes = {
        {0x8000, &Client::signal_REP_UNSUPPORTED, "signal_REP_UNSUPPORTED"},
        {0x8101, &Client::signal_REP_TX_FREQUENCY, "signal_REP_TX_FREQUENCY"},
        {0x8102, &Client::signal_REP_RX_FREQUENCY, "signal_REP_RX_FREQUENCY"},
        {0x8103, &Client::signal_REP_ANTENNA_SEL, "signal_REP_ANTENNA_SEL"},
        {0x8104, &Client::signal_REP_DEFAULTS_SET, "signal_REP_DEFAULTS_SET"},
        {0x8105, &Client::signal_REP_REBOOT_DEVICE, "signal_REP_REBOOT_DEVICE"},
        {0x8106, &Client::signal_REP_SET_TX_MODE, "signal_REP_SET_TX_MODE"},
        {0x8107, &Client::signal_REP_VERSION, "signal_REP_VERSION"},
        {0x8108, &Client::signal_REP_CONT_STATUS, "signal_REP_CONT_STATUS"},
        {0x8109, &Client::signal_REP_PARAMETERS, "signal_REP_PARAMETERS"},
        {0x810A, &Client::signal_REP_EXTENDED_STATUS, "signal_REP_EXTENDED_STATUS"},
        {0x810B, &Client::signal_REP_UART_CONV_CONFIG, "signal_REP_UART_CONV_CONFIG"},
        {0x810C, &Client::signal_REP_ID_STATISTIC, "signal_REP_ID_STATISTIC"},
        {0x810D, &Client::signal_REP_SESSION_SECRET, "signal_REP_SESSION_SECRET"},
        {0x810E, &Client::signal_REP_TX_POWER_MODE, "signal_REP_TX_POWER_MODE"},
        {0x810F, &Client::signal_REP_SET_HS_CHANNEL_MOD, "signal_REP_SET_HS_CHANNEL_MOD"},
    };
    return routes;
}

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

inline QByteArray statusReport(quint16 seqnum, char fill = '\x11')
{
    return protocol::buildReport(REP_CONT_STATUS, seqnum, QByteArray(protocol::kContStatusSize, fill));
}

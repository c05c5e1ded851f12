// Receive-path benchmark over loopback: status reports per second handled by Client (packet
// log on) with its traffic lines off and on (formatted, then discarded), against a plain socket
// read loop, in the same run.

#include "client.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kBurst = 128; // stays well inside the default socket receive buffer
constexpr qint64 kRoundNs = 1000000000;
constexpr int kRounds = 3;

// Wall time counts whatever else the machine runs; the thread's CPU time does not.
struct Rate {
    qint64 frames = 0;
    qint64 lost = 0;
    qint64 wallNs = 0;
    qint64 cpuNs = 0;
    double perWallSecond() const { return wallNs ? frames * 1e9 / wallNs : 0.0; }
    double perCpuSecond() const { return cpuNs ? frames * 1e9 / cpuNs : 0.0; }
};

qint64 threadCpuNs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// Sends bursts from `sender` to `port` and times only the handling of each burst.
void measure(QUdpSocket& sender, quint16 port, const qint64& handled, Rate& rate)
{
    const QByteArray report = protocol::buildReport(REP_CONT_STATUS, 1, QByteArray(protocol::kContStatusSize, 'S'));
    const QHostAddress loopback(QHostAddress::LocalHost);
    qint64 spent = 0;
    while (spent < kRoundNs) {
        const qint64 target = handled + kBurst;
        for (int i = 0; i < kBurst; ++i)
            sender.writeDatagram(report, loopback, port);

        QElapsedTimer wall;
        wall.start();
        const qint64 cpuStart = threadCpuNs();
        qint64 seen = handled;
        qint64 lastProgress = 0;
        while (handled < target) {
            QCoreApplication::processEvents();
            if (handled != seen) {
                seen = handled;
                lastProgress = wall.nsecsElapsed();
            } else if (wall.nsecsElapsed() - lastProgress > 50000000) {
                break; // the rest of the burst was dropped by the kernel
            }
        }
        const qint64 busy = handled < target ? lastProgress : wall.nsecsElapsed();
        rate.cpuNs += threadCpuNs() - cpuStart;
        rate.lost += target - handled;
        rate.frames += kBurst - (target - handled);
        rate.wallNs += busy;
        spent += busy;
    }
}

void print(const char* name, const Rate& rate)
{
    std::printf("%-36s %10.0f frames/s, %10.0f per CPU second (lost %lld)\n", name, rate.perWallSecond(),
                rate.perCpuSecond(), static_cast<long long>(rate.lost));
}

void discardMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(discardMessage);
    QTemporaryDir logFolder;
    if (!logFolder.isValid())
        return 1;

    QUdpSocket sender;
    sender.bind(QHostAddress(QHostAddress::LocalHost), 0);

    qint64 plainHandled = 0;
    QUdpSocket plain;
    plain.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&plain, &QUdpSocket::readyRead, [&] {
        static char buffer[65536];
        QHostAddress from;
        quint16 fromPort;
        while (plain.hasPendingDatagrams()) {
            if (plain.readDatagram(buffer, sizeof buffer, &from, &fromPort) > 0)
                ++plainHandled;
        }
    });

    qint64 clientHandled = 0;
    Client client;
    client.initialize(QHostAddress(QHostAddress::LocalHost), 0);
    client.filter(QStringLiteral("127.0.0.1"), sender.localPort());
    QString folder = logFolder.path();
    client.set_logger_path(folder);
    client.logger_enable(true);
    QObject::connect(&client, &Client::signal_REP_CONT_STATUS, [&] { ++clientHandled; });
    QObject::connect(&client, &Client::signal_UpdatedAbonents, [](const QList<OpAbonent>&) {});

    Rate plainRate, clientRate, formattedRate;
    for (int round = 0; round < kRounds; ++round) {
        QLoggingCategory::setFilterRules(QStringLiteral("zarnik.link.traffic.debug=false"));
        measure(sender, plain.localPort(), plainHandled, plainRate);
        measure(sender, client.getControlLocalPort(), clientHandled, clientRate);
        // Traffic lines formatted and handed to a handler that drops them.
        QLoggingCategory::setFilterRules(QStringLiteral("zarnik.link.traffic.debug=true"));
        measure(sender, client.getControlLocalPort(), clientHandled, formattedRate);
    }
    client.logger_enable(false);

    std::printf("35-byte status reports over loopback, bursts of %d, %d x 1 s per path\n", kBurst, kRounds);
    print("plain receive loop:", plainRate);
    print("Client, packet log on, lines off:", clientRate);
    print("Client, packet log on, lines on:", formattedRate);
    std::printf("ratio Client / plain, lines off: %.2f (wall), %.2f (CPU)\n",
                clientRate.perWallSecond() / plainRate.perWallSecond(),
                clientRate.perCpuSecond() / plainRate.perCpuSecond());
    std::printf("ratio Client / plain, lines on:  %.2f (wall), %.2f (CPU)\n",
                formattedRate.perWallSecond() / plainRate.perWallSecond(),
                formattedRate.perCpuSecond() / plainRate.perCpuSecond());
    return 0;
}

// zarnik-sim: a network of simulated modems on loopback for the control station.

#include "linesplitter.h"
#include "pcapwriter.h"
#include "ptyattenuator.h"
#include "simconfig.h"
#include "simnetwork.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kFilesPerModem = 2;
constexpr int kSpareFiles = 64;
constexpr int kMaxControlLine = 4096;

void say(const QString& line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A thousand modems need two thousand sockets, more than the usual soft limit allows.
void raiseOpenFileLimit(int modems)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t needed = rlim_t(modems) * kFilesPerModem + kSpareFiles;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < needed)
        std::fprintf(stderr, "zarnik-sim: the open-file limit %lu is below the %lu this network needs\n",
            static_cast<unsigned long>(limit.rlim_max), static_cast<unsigned long>(needed));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    SimConfig config;
    const simconfig::ParseResult parsed = simconfig::parse(app.arguments(), config);
    if (parsed.status == simconfig::ParseResult::Help) {
        std::fputs(parsed.text.toUtf8().constData(), stdout);
        return 0;
    }
    if (parsed.status == simconfig::ParseResult::Error) {
        std::fprintf(stderr, "zarnik-sim: %s\nTry zarnik-sim --help.\n", parsed.text.toUtf8().constData());
        return 2;
    }
    raiseOpenFileLimit(config.modems);

    SimNetwork network(config);
    if (config.verbose)
        QObject::connect(&network, &SimNetwork::event, &say);
    QObject::connect(&network, &SimNetwork::quitRequested, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    PtyAttenuator attenuator;
    if (config.attenuator) {
        QString error;
        if (!attenuator.open(error)) {
            std::fprintf(stderr, "zarnik-sim: %s\n", error.toUtf8().constData());
            return 1;
        }
        QObject::connect(&attenuator, &PtyAttenuator::attenuationChanged, &network, &SimNetwork::setAttenuation);
        if (config.verbose)
            QObject::connect(&attenuator, &PtyAttenuator::event, &say);
        say(QStringLiteral("attenuator: %1").arg(attenuator.deviceName()));
    }

    QString error;
    PcapWriter capture;
    if (!config.pcapPath.isEmpty()) {
        capture.setFlushEachPacket(true);
        if (!capture.open(config.pcapPath, error)) {
            std::fprintf(stderr, "zarnik-sim: %s\n", error.toUtf8().constData());
            return 1;
        }
        network.setCapture(&capture);
    }
    if (!network.start(error)) {
        std::fprintf(stderr, "zarnik-sim: %s\n", error.toUtf8().constData());
        return 1;
    }
    say(QStringLiteral("ready: %1 modems from %2, status to %3:%4 every %5 ms")
            .arg(config.modems)
            .arg(QHostAddress(config.firstAddress).toString(), config.stationAddress.toString())
            .arg(config.stationPort)
            .arg(config.periodMs));

    // Control lines on standard input; at its end the network simply runs on. Started in the
    // background of a terminal, the simulator gets an error for its read instead of being stopped.
    std::signal(SIGTTIN, SIG_IGN);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    LineSplitter lines(kMaxControlLine);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            return;
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        for (const LineSplitter::Piece& piece : lines.feed(buffer, int(n))) {
            if (piece.kind == LineSplitter::Kind::TooLong) {
                say(QStringLiteral("error: control line too long"));
                continue;
            }
            if (piece.kind == LineSplitter::Kind::HasNul) {
                say(QStringLiteral("error: control line holds a NUL byte"));
                continue;
            }
            const QString line = QString::fromUtf8(piece.line).trimmed();
            if (!line.isEmpty())
                say(network.execute(line));
        }
    });

    return app.exec();
}

// zarnik-log benchmark: generates a packet log of a busy station (1 GB by default), decodes it
// to CSV and compares the throughput with `cat FILE > /dev/null` in the same run; peak RSS
// comes from /usr/bin/time -v. The generated file is deleted at the end.

#include "packetlog.h"
#include "protocol.h"
#include "records.h"
#include "status_records.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

QByteArray record(qint64 timeMs, quint32 peer, packetlog::Direction direction, const QByteArray& frame)
{
    QByteArray r(packetlog::kRecordHeaderSize, '\0');
    packetlog::putHeader(reinterpret_cast<uint8_t*>(r.data()), timeMs, peer, 40005, direction);
    return r + frame;
}

// Ten modems reporting status, extended status and ID statistics, with the station's polling
// and now and then a truncated datagram: about the mix of a soak run.
qint64 generate(const QString& path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return -1;
    QRandomGenerator random(7);
    QVector<QByteArray> reports;
    ContStatus status;
    status.opmode = 41;
    status.sync = 1;
    status.rssi = 71;
    status.received = 50;
    status.rx_bits = 12000;
    ExtendedStatus extended;
    extended.mode = 4;
    extended.rssi = 7100;
    IdStatistic ids;
    ids.entries.resize(3);
    const QByteArray statusBytes = records::encodeContStatus(status);
    const QByteArray extendedBytes = records::encodeExtendedStatus(extended);
    const QByteArray idBytes = records::encodeIdStatistic(ids);
    QByteArray getReport(2, '\0');
    getReport[0] = char(REP_VERSION & 0xFF);
    getReport[1] = char(REP_VERSION >> 8);
    const QByteArray request = protocol::buildFrame(CMD_GET_REPORT, protocol::payloadFrom(getReport));

    QByteArray chunk;
    qint64 written = 0;
    qint64 count = 0;
    qint64 t = 1765000000000LL;
    quint16 seqnum[10] = {};
    while (written < bytes) {
        const int modem = random.bounded(10);
        const quint32 peer = 0x0A000010 + quint32(modem);
        QByteArray frame;
        switch (random.bounded(8)) {
        case 0: frame = protocol::buildReport(REP_EXTENDED_STATUS, seqnum[modem]++, extendedBytes); break;
        case 1: frame = protocol::buildReport(REP_ID_STATISTIC, seqnum[modem]++, idBytes); break;
        case 2: frame = request; break;
        case 3: frame = protocol::buildReport(REP_CONT_STATUS, seqnum[modem]++, statusBytes).left(20); break;
        default: frame = protocol::buildReport(REP_CONT_STATUS, seqnum[modem]++, statusBytes); break;
        }
        chunk += record(t, peer, frame == request ? packetlog::Sent : packetlog::Received, frame);
        t += random.bounded(3);
        ++count;
        if (chunk.size() >= 4 * kMiB) {
            file.write(chunk);
            written += chunk.size();
            chunk.clear();
        }
    }
    file.write(chunk);
    return count;
}

double runSeconds(const QString& program, const QStringList& arguments, QByteArray* err = nullptr)
{
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    p.start(program, arguments);
    p.waitForFinished(-1);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (err)
        *err = p.readAllStandardError();
    return p.exitCode() == 0 ? seconds : -1.0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/bench-XXXXXX") : QString());
    const QString path = dir.filePath(QStringLiteral("log-bench.bin"));
    std::printf("generating %lld MiB in %s ...\n", static_cast<long long>(megabytes), qPrintable(path));
    const qint64 records = generate(path, megabytes * kMiB);
    if (records < 0) {
        std::fprintf(stderr, "bench_logtool: cannot write %s\n", qPrintable(path));
        return 1;
    }
    const double size = double(QFile(path).size());

    runSeconds(QStringLiteral("cat"), {path}); // brings the file into the page cache
    const double cat = runSeconds(QStringLiteral("cat"), {path});
    QByteArray timeReport;
    const double decode = runSeconds(QStringLiteral("/usr/bin/time"),
                                     {QStringLiteral("-v"), QStringLiteral(ZARNIK_LOG), QStringLiteral("--format"),
                                      QStringLiteral("csv"), path},
                                     &timeReport);
    QFile::remove(path);
    if (cat <= 0 || decode <= 0) {
        std::fprintf(stderr, "bench_logtool: a run failed\n%s", timeReport.constData());
        return 1;
    }
    const QRegularExpressionMatch rss = QRegularExpression(QStringLiteral("Maximum resident set size \\(kbytes\\): (\\d+)"))
                                            .match(QString::fromLocal8Bit(timeReport));
    std::printf("log: %.0f MiB, %lld records\n", size / kMiB, static_cast<long long>(records));
    std::printf("cat FILE > /dev/null:          %7.2f s  %8.1f MB/s\n", cat, size / 1e6 / cat);
    std::printf("zarnik-log --format csv FILE:  %7.2f s  %8.1f MB/s  %10.0f records/s  (%.2f of cat)\n", decode,
                size / 1e6 / decode, records / decode, cat / decode);
    std::printf("zarnik-log peak RSS: %s kB\n", rss.hasMatch() ? qPrintable(rss.captured(1)) : "unknown");
    // On a shared machine the wall time counts other work; the process's own CPU time does not.
    const QString report = QString::fromLocal8Bit(timeReport);
    const auto seconds = [&report](const char* what) {
        return QRegularExpression(QStringLiteral("%1 time \\(seconds\\): ([0-9.]+)").arg(QLatin1String(what)))
            .match(report).captured(1).toDouble();
    };
    const double cpu = seconds("User") + seconds("System");
    if (cpu > 0)
        std::printf("zarnik-log CPU time: %.2f s, %.1f MB/s, %.0f records/s per CPU second\n", cpu, size / 1e6 / cpu,
                    records / cpu);
    return 0;
}

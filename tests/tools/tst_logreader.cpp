#include "logbuilder.h"

#include <QRandomGenerator>
#include <QtTest>
#include <algorithm>

using namespace logbuilder;

namespace {

QByteArray status(quint16 seqnum) { return protocol::buildReport(REP_CONT_STATUS, seqnum, QByteArray(29, '\x11')); }

// A device that hands out at most `step` bytes per read, as a pipe or a growing file would.
struct TrickleDevice : QIODevice {
    TrickleDevice(const QByteArray& data, int step) : data(data), step(step) { open(ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 readData(char* out, qint64 max) override
    {
        const qint64 n = std::min<qint64>({max, qint64(step), data.size() - at});
        memcpy(out, data.constData() + at, size_t(n));
        return at += n, n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    QByteArray data;
    int step;
    qint64 at = 0;
};

// Records and damaged stretches must cover the input exactly, in order.
QString coverageError(const Read& read, qint64 size)
{
    QVector<QPair<qint64, qint64>> pieces;
    for (int i = 0; i < read.offsets.size(); ++i) {
        if (!read.frames[i].startsWith(QByteArray("\x01\xFF", 2)))
            return QStringLiteral("record at %1 does not start with the signature").arg(read.offsets[i]);
        pieces.append({read.offsets[i], LogReader::kHeaderSize + read.frames[i].size()});
    }
    for (const LogDamage& d : read.damages)
        pieces.append({d.offset, d.length});
    std::sort(pieces.begin(), pieces.end());
    qint64 at = 0;
    for (const auto& [offset, length] : pieces) {
        if (offset != at || length <= 0)
            return QStringLiteral("gap or overlap at %1").arg(at);
        at += length;
    }
    return at == size ? QString() : QStringLiteral("covered %1 of %2 bytes").arg(at).arg(size);
}

} // namespace

// Framing of the station's packet log: record ends found by the next header, damage reported
// with its offset and length, and reading resumed after it.
class TestLogReader : public QObject {
    Q_OBJECT

private slots:
    void damageIsReportedWhereItIs_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<int>("records");
        QTest::addColumn<QVector<qint64>>("damage"); // offset, length, kind; empty: none

        const QByteArray a = record(kStartMs, 0, status(1));
        const QByteArray b = record(kStartMs + 5, 0, status(2));
        const QByteArray c = record(kStartMs + 9, 1, request(CMD_GET_REPORT, word(REP_VERSION)));
        const QByteArray garbage = QByteArray("\x01\xFF\x00\x00 not a record \x01\xFF\x01\x00", 22).repeated(2);
        const QByteArray farOff = record(kStartMs + 3 * 86400000LL, 0, status(3));
        const qint64 ab = a.size() + b.size(), torn = LogDamage::TornTail, junk = LogDamage::Garbage;

        QTest::newRow("torn last record") << a + b + c.left(c.size() - 3) << 2
                                          << QVector<qint64>{ab, c.size() - 3, torn};
        QTest::newRow("torn record header") << a + b + c.left(9) << 2 << QVector<qint64>{ab, 9, torn};
        QTest::newRow("garbage between records") << a + garbage + b + c << 3
                                                 << QVector<qint64>{a.size(), garbage.size(), junk};
        QTest::newRow("garbage at the start") << garbage + a + b << 2 << QVector<qint64>{0, garbage.size(), junk};
        QTest::newRow("garbage at the end") << a + b + QByteArray(50, 'x') << 2 << QVector<qint64>{ab, 50, junk};
        QTest::newRow("record days away from its neighbours") << a + farOff + b << 2
                                                               << QVector<qint64>{a.size(), farOff.size(), junk};
        QTest::newRow("clock step that the following record confirms")
            << a + farOff + record(kStartMs + 3 * 86400000LL + 4, 0, status(4)) << 3 << QVector<qint64>{};
        QTest::newRow("truncated report between records")
            << a + record(kStartMs + 7, 0, status(4).left(20)) + b << 3 << QVector<qint64>{};
        QTest::newRow("ID statistics longer than its length entry")
            << a + record(kStartMs + 3, 0, protocol::buildReport(REP_ID_STATISTIC, 9, idStatistic(4))) + b << 3
            << QVector<qint64>{};
    }

    void damageIsReportedWhereItIs()
    {
        QFETCH(QByteArray, log);
        QFETCH(int, records);
        QFETCH(QVector<qint64>, damage);
        const Read read = readAll(log);
        QCOMPARE(read.frames.size(), records);
        QCOMPARE(coverageError(read, log.size()), QString());
        QVector<qint64> got;
        for (const LogDamage& d : read.damages)
            got << d.offset << d.length << qint64(d.kind);
        QCOMPARE(got, damage);
    }

    // Every opcode framed exactly, also in a log larger than the reader's buffer, so that records
    // straddle its refills, and whatever sizes the device hands out.
    void everyOpcodeIsFramedExactlyWhateverTheReadSizes()
    {
        QVector<QByteArray> frames;
        while (frames.size() < 3000)
            frames += everyOpcode();
        QVector<qint64> offsets;
        QByteArray log = logOf(frames, &offsets);
        QVERIFY(readAll(log).damages.isEmpty());
        int after = frames.size() / 2;
        while (protocol::parseHeader(frames[after]).opcode != REP_CONT_STATUS)
            ++after;
        log.insert(int(offsets[after + 1]), QByteArray(333, '\x01'));
        for (int i = after + 1; i < offsets.size(); ++i)
            offsets[i] += 333;
        const Read whole = readAll(log);
        QCOMPARE(whole.frames, frames);
        QCOMPARE(whole.offsets, offsets);
        QCOMPARE(whole.damages.size(), 1);
        QCOMPARE(whole.damages[0].offset, offsets[after + 1] - 333);
        QCOMPARE(whole.damages[0].length, qint64(333));
        TrickleDevice trickle(log, 977);
        const Read trickled = readAll(trickle);
        QCOMPARE(trickled.offsets, whole.offsets);
        QCOMPARE(trickled.frames, whole.frames);
        QCOMPARE(trickled.damages.size(), 1);
    }

    void followingWaitsForTheRestOfARecord()
    {
        const QByteArray idReport = record(kStartMs, 0, protocol::buildReport(REP_ID_STATISTIC, 1, idStatistic(2)));
        QBuffer file;
        file.open(QIODevice::ReadWrite);
        LogReader reader(file);
        reader.setFollowing(true);
        LogRecord r;
        LogDamage d;
        const auto growThenRead = [&](const QByteArray& bytes) {
            const qint64 at = file.pos();
            file.seek(file.size());
            file.write(bytes);
            file.seek(at);
            return reader.next(r, d);
        };
        QCOMPARE(growThenRead(idReport.left(30)), LogReader::NeedMore);
        QCOMPARE(growThenRead(idReport.mid(30)), LogReader::Record);
        QCOMPARE(r.frame.size(), idReport.size() - LogReader::kHeaderSize);
        QCOMPARE(reader.next(r, d), LogReader::NeedMore);
        QCOMPARE(growThenRead(record(kStartMs + 3, 0, status(2))), LogReader::Record);
        QCOMPARE(r.offset, qint64(idReport.size()));
        QCOMPARE(reader.damageCount(), 0);
    }

    void seededRandomInputsAreCoveredExactly()
    {
        QRandomGenerator random(20261207);
        const auto noise = [&random](int size) {
            QByteArray bytes(size, '\0');
            for (char& ch : bytes)
                ch = char(random.bounded(256));
            return bytes;
        };
        const QByteArray clean = logOf(everyOpcode().mid(0, 8) + everyOpcode().mid(20));
        for (int input = 0; input < 30000; ++input) {
            QByteArray log = clean;
            switch (random.bounded(5)) {
            case 0: // flipped bytes
                for (int n = random.bounded(1, 8); n > 0; --n)
                    log[random.bounded(log.size())] = char(random.bounded(256));
                break;
            case 1: // cut anywhere
                log.truncate(random.bounded(log.size()));
                break;
            case 2: { // inserted bytes, sometimes with a signature in them
                QByteArray junk = noise(random.bounded(1, 64));
                if (junk.size() > 18 && random.bounded(2))
                    junk.replace(16, 2, QByteArray("\x01\xFF", 2));
                log.insert(random.bounded(log.size()), junk);
                break;
            }
            case 3: // a piece moved elsewhere
                log.insert(random.bounded(log.size()), log.mid(random.bounded(log.size()), random.bounded(200)));
                break;
            default: // nothing but noise
                log = noise(random.bounded(2000));
                break;
            }
            const QString error = coverageError(readAll(log), log.size());
            if (!error.isEmpty())
                QFAIL(qPrintable(QStringLiteral("input %1: %2").arg(input).arg(error)));
        }
    }
};

QTEST_GUILESS_MAIN(TestLogReader)
#include "tst_logreader.moc"

#include "linesplitter.h"
#include "modemmodel.h"
#include "protocol.h"
#include "steppermodel.h"

#include <QtTest>
#include <limits>
#include <memory>

constexpr quint32 kAddress = 0x7F00000B; // 127.0.0.11

static QByteArray request(quint16 opcode, const QByteArray& record)
{
    return protocol::buildFrame(opcode, protocol::payloadFrom(record));
}

// A 32-bit controller command: the command byte, the top bits of the four data bytes, then their low seven bits.
static QByteArray command32(quint8 command, qint32 data)
{
    const quint32 v = quint32(data);
    QByteArray bytes(1, char(command));
    bytes += char(((v >> 7) & 1) | ((v >> 14) & 2) | ((v >> 21) & 4) | ((v >> 28) & 8));
    for (int i = 0; i < 4; ++i)
        bytes += char((v >> (8 * i)) & 0x7F);
    return bytes;
}

static QByteArray getReport(quint16 wanted)
{
    return request(CMD_GET_REPORT, QByteArray(1, char(wanted & 0xFF)) + char(wanted >> 8));
}

// The simulated modem and stepper controller without sockets, on explicit time.
class TestSimModels : public QObject {
    Q_OBJECT

    ModemProfile m_profile;
    std::unique_ptr<ModemModel> m_modem;

private slots:
    void init()
    {
        m_profile = ModemProfile();
        m_modem = std::make_unique<ModemModel>(0, kAddress, m_profile, 7);
    }

    void damagedOrForeignRequestsChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        const QByteArray txFrequency = request(CMD_TX_FREQUENCY, records::encodeFrequency(1444000000));
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("header cut short") << txFrequency.left(5);
        QTest::newRow("payload cut short") << txFrequency.left(10);
        QTest::newRow("bad signature") << QByteArray("\x02\xff") + txFrequency.mid(2);
        QTest::newRow("a report, not a request") << protocol::buildReport(REP_TX_FREQUENCY, 0, records::encodeFrequency(1444000000));
        const QByteArray secret = request(CMD_SESSION_SECRET, QByteArray::fromHex("0500") + "abcde");
        QTest::newRow("secret shorter than its length word") << secret.left(secret.size() - 1);
        QTest::newRow("secret beyond the record")
            << protocol::buildReport(CMD_SESSION_SECRET, 0, QByteArray::fromHex("ff0f") + QByteArray(4095, 'x'));
        QTest::newRow("hard reset for another modem") << request(CMD_REBOOT_DEVICE, QByteArray::fromHex("7f00000c"));
        QTest::newRow("hard reset byte order reversed") << request(CMD_REBOOT_DEVICE, QByteArray::fromHex("0b00007f"));
        QTest::newRow("unknown service code") << request(CMD_REBOOT_DEVICE, QByteArray::fromHex("78563412"));
    }

    void damagedOrForeignRequestsChangeNothing()
    {
        QFETCH(QByteArray, datagram);
        const QByteArray secretBefore = protocol::payloadOf(m_modem->handle(getReport(REP_SESSION_SECRET)).replies.value(0));
        const quint64 txBefore = m_modem->txFrequency();

        const ModemModel::Outcome outcome = m_modem->handle(datagram);
        for (const QByteArray& reply : outcome.replies)
            QCOMPARE(protocol::parseHeader(reply).opcode, quint16(REP_SESSION_SECRET));
        QCOMPARE(int(outcome.service), int(ModemModel::Service::None));
        QVERIFY(!outcome.event.isEmpty());
        QCOMPARE(m_modem->txFrequency(), txBefore);
        QCOMPARE(protocol::payloadOf(m_modem->handle(getReport(REP_SESSION_SECRET)).replies.value(0)), secretBefore);
    }

    void lossFollowsAttenuationAndOffset_data()
    {
        QTest::addColumn<double>("attenuation");
        QTest::addColumn<qint64>("offset");
        QTest::addColumn<double>("loss");
        QTest::newRow("clear channel") << 0.0 << qint64(0) << 0.0;
        QTest::newRow("half at the attenuation point") << 20.0 << qint64(0) << 0.5;
        QTest::newRow("half at the offset point below the channel") << 0.0 << qint64(-40000) << 0.5;
        QTest::newRow("sync lost far beyond") << 26.0 << qint64(0) << 1.0;
    }

    void lossFollowsAttenuationAndOffset()
    {
        QFETCH(double, attenuation);
        QFETCH(qint64, offset);
        QFETCH(double, loss);
        m_profile.packetRate = 1000;
        m_modem->handle(request(CMD_RX_FREQUENCY, records::encodeFrequency(quint64(qint64(1420000000) + offset))));
        quint64 received = 0;
        quint64 lost = 0;
        for (int i = 0; i < 20; ++i) {
            m_modem->advance(1000, attenuation, LossCurves());
            const ExtendedStatus s = records::decodeExtendedStatus(protocol::payloadOf(m_modem->reportFrame(REP_EXTENDED_STATUS)));
            QCOMPARE(bool(s.flags & ExtendedStatus::Synchronised), loss < 1.0);
            received += s.received;
            lost += s.lost;
        }
        const double ratio = received + lost == 0 ? 1.0 : double(lost) / double(received + lost);
        QVERIFY2(qAbs(ratio - loss) <= 0.05, qPrintable(QString::number(ratio)));
    }

    void motorReachesTargetAtConfiguredSpeed_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<qint32>("target");
        QTest::addColumn<bool>("keptAlive");
        QTest::newRow("1000 steps/s forward") << 1000 << 1250 << true;
        QTest::newRow("2500 steps/s backward") << 2500 << -2500 << true;
        QTest::newRow("stopped by the command time-out") << 1000 << 3000 << false;
    }

    void motorReachesTargetAtConfiguredSpeed()
    {
        QFETCH(int, speed);
        QFETCH(qint32, target);
        QFETCH(bool, keptAlive);
        StepperModel stepper(speed, 0);
        stepper.feed(QByteArray(1, char(0x83)) + command32(0xE0, target), 0);
        const qint64 travelMs = qint64(std::abs(target)) * 1000 / speed;
        // Polled every 100 ms, with 0x8C as the rotator does while the motor moves.
        for (qint64 t = 100; t <= travelMs + 300; t += 100) {
            if (keptAlive)
                stepper.feed(QByteArray(1, char(0x8C)), t);
            const qint64 moving = keptAlive ? t : qMin<qint64>(t, StepperModel::kCommandTimeoutMs);
            QCOMPARE(std::abs(stepper.position(t)), qint32(qMin<qint64>(std::abs(target), speed * moving / 1000)));
        }
        // Stopped by the time-out, the motor waits in safe start for 0x83 again.
        QCOMPARE(stepper.safeStartActive(travelMs + 300), !keptAlive);
    }

    void extremePositionsMoveWithoutOverflow_data()
    {
        QTest::addColumn<qint32>("start");
        QTest::addColumn<qint32>("target");
        QTest::newRow("from the lowest position") << std::numeric_limits<qint32>::min() << std::numeric_limits<qint32>::min() + 500;
        QTest::newRow("to the lowest position") << std::numeric_limits<qint32>::min() + 500 << std::numeric_limits<qint32>::min();
        QTest::newRow("to the highest position") << std::numeric_limits<qint32>::max() - 500 << std::numeric_limits<qint32>::max();
    }

    void extremePositionsMoveWithoutOverflow()
    {
        QFETCH(qint32, start);
        QFETCH(qint32, target);
        StepperModel stepper(1000, 0);
        stepper.feed(QByteArray(1, char(0x83)) + command32(0xEC, start), 0);
        QCOMPARE(stepper.position(0), start);
        stepper.feed(command32(0xE0, target), 0);
        // Left alone past the command time-out: stopped 1000 steps along, which is past the target.
        QCOMPARE(stepper.position(StepperModel::kCommandTimeoutMs + 100), target);
        stepper.feed(QByteArray(1, char(0x83)) + command32(0xE0, start), 1200);
        QCOMPARE(stepper.position(1300), qint32(target + (start < target ? -100 : 100)));
    }

    void controlLinesSplitWhateverTheReads_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<int>("readSize");
        QTest::addColumn<QStringList>("pieces");
        const QByteArray junk(40, 'x');
        for (int readSize : {1, 7, 1000}) {
            const QByteArray size = QByteArray::number(readSize);
            QTest::newRow("lines, reads of " + size) << QByteArray("loss all 1\nresume 2\n\n") << readSize
                << QStringList{"loss all 1", "resume 2", ""};
            QTest::newRow("overlong line dropped to its end, reads of " + size) << junk + "silence all\nclear all\n"
                << readSize << QStringList{"<too long>", "clear all"};
            QTest::newRow("NUL refused, reads of " + size) << QByteArray("loss all 1\0 rest\nclear\n", 23) << readSize
                << QStringList{"<NUL>", "clear"};
        }
        QTest::newRow("line of exactly the limit") << QByteArray(32, 'a') + '\n' << 5 << QStringList{QString(32, 'a')};
        QTest::newRow("unfinished line waits") << QByteArray("loss all") << 3 << QStringList{};
    }

    void controlLinesSplitWhateverTheReads()
    {
        QFETCH(QByteArray, stream);
        QFETCH(int, readSize);
        QFETCH(QStringList, pieces);
        LineSplitter splitter(32);
        QStringList seen;
        for (int at = 0; at < stream.size(); at += readSize) {
            const QByteArray read = stream.mid(at, readSize);
            for (const LineSplitter::Piece& piece : splitter.feed(read.constData(), read.size())) {
                if (piece.kind == LineSplitter::Kind::TooLong)
                    seen << QStringLiteral("<too long>");
                else if (piece.kind == LineSplitter::Kind::HasNul)
                    seen << QStringLiteral("<NUL>");
                else
                    seen << QString::fromLatin1(piece.line);
            }
        }
        QCOMPARE(seen, pieces);
    }
};

QTEST_GUILESS_MAIN(TestSimModels)
#include "tst_simmodels.moc"

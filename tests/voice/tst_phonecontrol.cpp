// Call control against a peer station played by a plain loopback socket.

#include "testkit.h"

#include <memory>

using namespace testkit;

class PhoneControlTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<Station> station;
    std::unique_ptr<QUdpSocket> peer;

    void send(const QByteArray& datagram) { peer->writeDatagram(datagram, kLoopback, station->port); }

private slots:
    void init()
    {
        station = std::make_unique<Station>();
        peer = std::make_unique<QUdpSocket>();
        QVERIFY(station->bound && peer->bind(kLoopback, 0));
    }

    void signalLevelCountsBodyBitsAgainstSenderQuality_data()
    {
        QTest::addColumn<quint8>("header");
        QTest::addColumn<int>("datagrams");
        QTest::addColumn<int>("bodyBytes");
        QTest::addColumn<int>("level");
        // 55 datagrams in a 1.1 s window: 4 x 55 x 304 / 15000 rounds to 4.
        QTest::newRow("quality 8, full flow") << quint8(8 << 3) << 55 << 38 << 4;
        QTest::newRow("one-byte datagrams carry 0 bits") << quint8(8 << 3) << 5 << 0 << 0;
        QTest::newRow("quality 11 has no known rate") << quint8(11 << 3) << 55 << 38 << 0;
        QTest::newRow("quality 31 has no known rate") << quint8(31 << 3) << 55 << 38 << 0;
    }

    void signalLevelCountsBodyBitsAgainstSenderQuality()
    {
        QFETCH(quint8, header);
        QFETCH(int, datagrams);
        QFETCH(int, bodyBytes);
        QFETCH(int, level);
        QSignalSpy levels(&station->phone, &PhoneControl::update_signal);
        QVERIFY(levels.wait(3000)); // a window has just begun
        for (int i = 0; i < datagrams; ++i)
            send(char(header) + QByteArray(bodyBytes, 'x'));
        // Bodiless datagrams hold the call without adding bits.
        QTimer keepAlive;
        connect(&keepAlive, &QTimer::timeout, this, [&] { send(QByteArray(1, char(header))); });
        keepAlive.start(200);
        QVERIFY(levels.wait(3000));
        QCOMPARE(levels.last().at(0).toInt(), level);
        QCOMPARE(station->states, QStringList({"Входящий"}));
    }

    // The text runs to the first zero byte or the datagram's end; the header's quality bits do not matter.
    void receivedTextEndsAtFirstZeroByte_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole datagram") << QByteArray("\x01") + QString("приём").toUtf8() << "приём";
        QTest::newRow("cut at a zero byte") << QByteArray("\x41" "abc\0def", 8) << "abc";
        QTest::newRow("zero byte first") << QByteArray("\x01\0abc", 5) << "";
        QTest::newRow("header only") << QByteArray("\xF9") << "";
    }

    void receivedTextEndsAtFirstZeroByte()
    {
        QFETCH(QByteArray, datagram);
        QSignalSpy texts(&station->phone, &PhoneControl::chat_incoming_message);
        send(datagram);
        QVERIFY(texts.wait(3000));
        QTEST(texts.takeFirst().at(0).toString(), "text");
        QVERIFY(station->states.isEmpty());
    }

    void badSignalCallStillEnds_data()
    {
        QTest::addColumn<bool>("hangUp");
        QTest::addColumn<int>("feedMs"); // one datagram every 100 ms shows one bar, every 250 ms none
        QTest::newRow("operator hangs up") << true << 250;
        QTest::newRow("flow stops") << false << 250;
        QTest::newRow("exactly one bar") << true << 100;
    }

    void badSignalCallStillEnds()
    {
        QFETCH(bool, hangUp);
        QFETCH(int, feedMs);
        if (!haveSoundDevices())
            QSKIP("no sound devices");
        QTimer feed;
        connect(&feed, &QTimer::timeout, this, [this] { send(voiceDatagram()); });
        feed.start(20);
        QTRY_COMPARE(station->state(), QStringLiteral("Входящий"));
        station->phone.voice_action(kLoopback, peer->localPort(), 8);
        QCOMPARE(station->state(), QStringLiteral("Вызов"));

        QSignalSpy levels(&station->phone, &PhoneControl::update_signal);
        feed.setInterval(feedMs);
        QTRY_COMPARE_WITH_TIMEOUT(station->state(), QStringLiteral("Плохой сигнал"), 8000);
        if (feedMs == 100)
            QCOMPARE(levels.last().at(0).toInt(), 1);
        QCOMPARE(station->action, QStringLiteral("Сброс"));
        QCOMPARE(station->color, QColor("#E86A6D"));
        if (hangUp) {
            station->phone.voice_action(kLoopback, peer->localPort(), 8);
            QCOMPARE(station->state(), QStringLiteral("Офлайн"));
        } else {
            feed.stop();
            QTRY_COMPARE_WITH_TIMEOUT(station->state(), QStringLiteral("Офлайн"), 5000);
        }
        QCOMPARE(station->action, QStringLiteral("Вызов"));
    }
};

QTEST_GUILESS_MAIN(PhoneControlTest)
#include "tst_phonecontrol.moc"

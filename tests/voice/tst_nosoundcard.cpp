// Call control on a machine without sound devices (the test runs with an unreachable sound server).

#include "testkit.h"

using namespace testkit;

class NoSoundCardTest : public QObject
{
    Q_OBJECT

private slots:
    void callsWarnAndLeaveTheStationOfflineButReachable()
    {
        if (haveSoundDevices())
            QSKIP("this machine has sound devices");
        Station station;
        QUdpSocket peer;
        QVERIFY(station.bound && peer.bind(kLoopback, 0));

        QTest::ignoreMessage(QtWarningMsg, "Audio input initialize error");
        station.phone.voice_action(kLoopback, peer.localPort(), 8);
        QCOMPARE(station.states, QStringList({"Офлайн"}));

        peer.writeDatagram(voiceDatagram(), kLoopback, station.port);
        QTRY_COMPARE(station.state(), QStringLiteral("Входящий"));
        QTest::ignoreMessage(QtWarningMsg, "Audio input initialize error");
        station.phone.voice_action(kLoopback, peer.localPort(), 8);
        QCOMPARE(station.state(), QStringLiteral("Офлайн"));
        QCOMPARE(station.action, QStringLiteral("Вызов"));

        // Nothing went out, and the next call still rings and times out.
        QVERIFY(!peer.hasPendingDatagrams());
        peer.writeDatagram(voiceDatagram(), kLoopback, station.port);
        QTRY_COMPARE(station.state(), QStringLiteral("Входящий"));
        QTRY_COMPARE_WITH_TIMEOUT(station.state(), QStringLiteral("Офлайн"), 5000);
    }
};

QTEST_GUILESS_MAIN(NoSoundCardTest)
#include "tst_nosoundcard.moc"

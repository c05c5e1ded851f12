// Call control on a machine without sound devices (the test runs with an unreachable sound server).

#include "phonecontrol.h"
#include "testkit.h"

#include <QtTest>

using namespace testkit;

class NoSoundCardTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void callingWarnsAndStaysOffline();
    void answeringWarnsAndTheCallStillRings();
    void textStillTravels();

private:
    PhoneControl* phone = nullptr;
    UiTrail* trail = nullptr;
    QUdpSocket* peer = nullptr;
    quint16 port = 0;
};

void NoSoundCardTest::init()
{
    if (haveSoundDevices())
        QSKIP("this machine has sound devices");
    phone = new PhoneControl;
    trail = new UiTrail(*phone);
    port = freeUdpPort();
    QVERIFY(phone->bind_socket(port));
    peer = new QUdpSocket;
    QVERIFY(peer->bind(kLoopback, 0));
}

void NoSoundCardTest::cleanup()
{
    delete peer;
    delete trail;
    delete phone;
    peer = nullptr;
    trail = nullptr;
    phone = nullptr;
}

void NoSoundCardTest::callingWarnsAndStaysOffline()
{
    QTest::ignoreMessage(QtWarningMsg, "Audio input initialize error");
    phone->voice_action(kLoopback, peer->localPort(), 8);
    QCOMPARE(trail->states(), QStringList({"Офлайн"}));
    QCOMPARE(trail->action(), QStringLiteral("Вызов"));
    QTest::qWait(300);
    QVERIFY(!peer->hasPendingDatagrams());
}

void NoSoundCardTest::answeringWarnsAndTheCallStillRings()
{
    peer->writeDatagram(voiceDatagram(), kLoopback, port);
    QTRY_COMPARE(trail->state(), QStringLiteral("Входящий"));
    QTest::ignoreMessage(QtWarningMsg, "Audio input initialize error");
    phone->voice_action(kLoopback, peer->localPort(), 8);
    QCOMPARE(trail->state(), QStringLiteral("Офлайн"));

    peer->writeDatagram(voiceDatagram(), kLoopback, port);
    QTRY_COMPARE(trail->state(), QStringLiteral("Входящий"));
    QTRY_COMPARE_WITH_TIMEOUT(trail->state(), QStringLiteral("Офлайн"), 5000);
}

void NoSoundCardTest::textStillTravels()
{
    QSignalSpy texts(phone, &PhoneControl::chat_incoming_message);
    peer->writeDatagram(datagram(0xF9, "есть кто?"), kLoopback, port);
    QVERIFY(texts.wait(3000));
    QCOMPARE(texts.first().at(0).toString(), QStringLiteral("есть кто?"));
    QVERIFY(phone->chat_message_send_to(kLoopback, peer->localPort(), QStringLiteral("да")));
    QTRY_VERIFY(peer->hasPendingDatagrams());
}

QTEST_GUILESS_MAIN(NoSoundCardTest)
#include "tst_nosoundcard.moc"

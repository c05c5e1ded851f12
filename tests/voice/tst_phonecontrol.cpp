// Call control against a peer station played by a plain loopback socket.

#include "phonecontrol.h"
#include "testkit.h"

#include <QSoundEffect>
#include <QtTest>

using namespace testkit;

class PhoneControlTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void voiceRingsAndTimesOutBackToOffline();
    void everyVoiceDatagramUpdatesTheUi();
    void signalLevelCountsBodyBitsAgainstSenderQuality_data();
    void signalLevelCountsBodyBitsAgainstSenderQuality();
    void textArrivesUpToFirstZeroByte_data();
    void textArrivesUpToFirstZeroByte();
    void textToNoPeerFailsWithLogLine();
    void textSentWhileUnboundLeavesBindingFree();
    void callThatCannotStartWarnsAndStaysOffline_data();
    void callThatCannotStartWarnsAndStaysOffline();

    // These need working sound devices.
    void answerSendsVoiceToTheGivenAddress();
    void hangUpGoesOfflineAndIgnoresThePeersTail();
    void hangingUpWhileCallingStopsTheDialTone();
    void weakSignalShowsBadSignalUntilTheCallEnds_data();
    void weakSignalShowsBadSignalUntilTheCallEnds();

private:
    void send(const QByteArray& datagram);
    void answerIncomingCall(quint16 replyPort);
    QByteArray receiveOn(QUdpSocket& socket);

    PhoneControl* phone = nullptr;
    UiTrail* trail = nullptr;
    QUdpSocket* peer = nullptr;
    quint16 port = 0;
};

void PhoneControlTest::init()
{
    phone = new PhoneControl;
    trail = new UiTrail(*phone);
    port = freeUdpPort();
    QVERIFY(phone->bind_socket(port));
    peer = new QUdpSocket;
    QVERIFY(peer->bind(kLoopback, 0));
}

void PhoneControlTest::cleanup()
{
    delete peer;
    delete trail;
    delete phone;
}

void PhoneControlTest::send(const QByteArray& datagram)
{
    QCOMPARE(peer->writeDatagram(datagram, kLoopback, port), qint64(datagram.size()));
}

QByteArray PhoneControlTest::receiveOn(QUdpSocket& socket)
{
    // Waits with the event loop running: the station under test lives on it.
    QElapsedTimer waited;
    waited.start();
    while (!socket.hasPendingDatagrams() && waited.elapsed() < 10000)
        QTest::qWait(10);
    if (!socket.hasPendingDatagrams())
        return {};
    QByteArray datagram(int(socket.pendingDatagramSize()), '\0');
    socket.readDatagram(datagram.data(), datagram.size());
    return datagram;
}

void PhoneControlTest::voiceRingsAndTimesOutBackToOffline()
{
    send(voiceDatagram());
    QTRY_COMPARE(trail->state(), QStringLiteral("Входящий"));
    QCOMPARE(trail->action(), QStringLiteral("Ответ"));
    QCOMPARE(trail->color(), QColor("#D2753A"));
    QElapsedTimer ringing;
    ringing.start();

    QTRY_COMPARE_WITH_TIMEOUT(trail->state(), QStringLiteral("Офлайн"), 5000);
    QVERIFY(ringing.elapsed() >= 900);
    QCOMPARE(trail->action(), QStringLiteral("Вызов"));
    QCOMPARE(trail->color(), QColor(Qt::white));
    QCOMPARE(trail->states(), QStringList({"Входящий", "Офлайн"}));
}

void PhoneControlTest::everyVoiceDatagramUpdatesTheUi()
{
    for (int i = 0; i < 3; ++i)
        send(voiceDatagram());
    QTRY_COMPARE(trail->count(), 3);
    QCOMPARE(trail->states(), QStringList({"Входящий"}));
}

void PhoneControlTest::signalLevelCountsBodyBitsAgainstSenderQuality_data()
{
    QTest::addColumn<quint8>("header");
    QTest::addColumn<int>("datagrams");
    QTest::addColumn<int>("bodyBytes");
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("warning");

    // 55 datagrams of a 1.1 s window: 4 x 55 x 304 / 15000 rounds to 4.
    QTest::newRow("quality 8, full flow") << quint8(0x40) << 55 << 38 << 4 << QString();
    QTest::newRow("quality 8, a fifth of it") << quint8(0x40) << 11 << 38 << 1 << QString();
    QTest::newRow("header only counts no bits") << quint8(0x40) << 5 << 0 << 0 << QString();
    QTest::newRow("quality 0, more than expected") << quint8(0x00) << 55 << 6 << 5 << QString();
    QTest::newRow("text counts too") << quint8(0x41) << 55 << 38 << 4 << QString();
    QTest::newRow("unsupported type counts too") << quint8(0x42) << 55 << 38 << 4
                                                 << QStringLiteral("Current message type not supported");
    QTest::newRow("quality 11 has no known rate") << quint8(0x58) << 55 << 38 << 0 << QString();
    QTest::newRow("quality 31 has no known rate") << quint8(0xF8) << 55 << 38 << 0 << QString();
    QTest::newRow("text from outside a call") << quint8(0xF9) << 55 << 38 << 0 << QString();
}

void PhoneControlTest::signalLevelCountsBodyBitsAgainstSenderQuality()
{
    QFETCH(quint8, header);
    QFETCH(int, datagrams);
    QFETCH(int, bodyBytes);
    QFETCH(int, level);
    QFETCH(QString, warning);

    QSignalSpy levels(phone, &PhoneControl::update_signal);
    QSignalSpy texts(phone, &PhoneControl::chat_incoming_message);
    QVERIFY(levels.wait(3000)); // a window has just begun
    if (!warning.isEmpty()) {
        for (int i = 0; i < datagrams; ++i)
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    }
    for (int i = 0; i < datagrams; ++i)
        send(datagram(header, QByteArray(bodyBytes, 'x')));
    // Bodiless voice datagrams hold the call without adding bits, so no time-out resets the rate.
    QTimer keepAlive;
    connect(&keepAlive, &QTimer::timeout, this, [&] { send(datagram(header & 0xF8)); });
    keepAlive.start(200);
    QVERIFY(levels.wait(3000));
    QCOMPARE(levels.last().at(0).toInt(), level);
    if ((header & 7) == 1)
        QCOMPARE(texts.count(), datagrams);
}

void PhoneControlTest::textArrivesUpToFirstZeroByte_data()
{
    QTest::addColumn<quint8>("header");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("in a call") << quint8(0x41) << QString("Приём, как слышно?").toUtf8()
                               << QStringLiteral("Приём, как слышно?");
    QTest::newRow("outside a call") << quint8(0xF9) << QByteArray("ok") << QStringLiteral("ok");
    QTest::newRow("stops at zero") << quint8(0x41) << QByteArray("ab\0cd", 5) << QStringLiteral("ab");
    QTest::newRow("empty") << quint8(0x01) << QByteArray() << QString();
}

void PhoneControlTest::textArrivesUpToFirstZeroByte()
{
    QFETCH(quint8, header);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    QSignalSpy texts(phone, &PhoneControl::chat_incoming_message);
    send(datagram(header, body));
    QVERIFY(texts.wait(3000));
    QCOMPARE(texts.takeFirst().at(0).toString(), text);
    QCOMPARE(trail->count(), 0);
}

void PhoneControlTest::textToNoPeerFailsWithLogLine()
{
    QTest::ignoreMessage(QtDebugMsg, "Send to socket error. Written -1, expected 6");
    phone->chat_message_send(QStringLiteral("hello"));
}

void PhoneControlTest::textSentWhileUnboundLeavesBindingFree()
{
    phone->release_socket();
    QVERIFY(phone->chat_message_send_to(kLoopback, peer->localPort(), QStringLiteral("x")));
    QVERIFY(!receiveOn(*peer).isEmpty());

    QVERIFY(phone->bind_socket(port));
    QSignalSpy texts(phone, &PhoneControl::chat_incoming_message);
    send(datagram(0xF9, "back"));
    QVERIFY(texts.wait(3000));
}

void PhoneControlTest::callThatCannotStartWarnsAndStaysOffline_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QString>("warning");
    QTest::newRow("no peer address") << QString() << 8 << QStringLiteral("Serial communication not implemented");
    QTest::newRow("no quality") << QStringLiteral("127.0.0.1") << -1 << QStringLiteral("Audio input initialize error");
}

void PhoneControlTest::callThatCannotStartWarnsAndStaysOffline()
{
    QFETCH(QString, address);
    QFETCH(int, quality);
    QFETCH(QString, warning);

    QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
    phone->voice_action(QHostAddress(address), peer->localPort(), quality);
    QCOMPARE(trail->states(), QStringList({"Офлайн"}));
    QCOMPARE(trail->action(), QStringLiteral("Вызов"));

    // Still answerable: an incoming call rings as usual.
    send(voiceDatagram());
    QTRY_COMPARE(trail->state(), QStringLiteral("Входящий"));
}

void PhoneControlTest::answerIncomingCall(quint16 replyPort)
{
    send(voiceDatagram());
    QTRY_COMPARE(trail->state(), QStringLiteral("Входящий"));
    phone->voice_action(kLoopback, replyPort, 8);
    QCOMPARE(trail->state(), QStringLiteral("Вызов"));
    QCOMPARE(trail->action(), QStringLiteral("Сброс"));
    QCOMPARE(trail->color(), QColor("#94DC65"));
}

void PhoneControlTest::answerSendsVoiceToTheGivenAddress()
{
    if (!haveSoundDevices())
        QSKIP("no sound devices");
    QUdpSocket listener; // not the socket the call came from
    QVERIFY(listener.bind(kLoopback, 0));
    QTimer feed;
    connect(&feed, &QTimer::timeout, this, [this] { send(voiceDatagram()); });
    feed.start(20);

    answerIncomingCall(listener.localPort());
    const QByteArray voice = receiveOn(listener);
    QCOMPARE(voice.size(), 39);
    QCOMPARE(quint8(voice.at(0)), quint8(8 << 3));
    QVERIFY(!peer->hasPendingDatagrams());
}

void PhoneControlTest::hangUpGoesOfflineAndIgnoresThePeersTail()
{
    if (!haveSoundDevices())
        QSKIP("no sound devices");
    QTimer feed;
    connect(&feed, &QTimer::timeout, this, [this] { send(voiceDatagram()); });
    feed.start(20);
    answerIncomingCall(peer->localPort());

    phone->voice_action(kLoopback, peer->localPort(), 8);
    QCOMPARE(trail->state(), QStringLiteral("Офлайн"));
    // The peer goes on until its own time-out notices the silence.
    QTest::qWait(1000);
    QCOMPARE(trail->states(), QStringList({"Входящий", "Вызов", "Офлайн"}));

    // A flow that outlasts that tail is a new call and rings.
    QTRY_COMPARE_WITH_TIMEOUT(trail->state(), QStringLiteral("Входящий"), 5000);
}

void PhoneControlTest::hangingUpWhileCallingStopsTheDialTone()
{
    if (!haveSoundDevices())
        QSKIP("no sound devices");
    QSoundEffect* dialTone = nullptr;
    for (QSoundEffect* effect : phone->findChildren<QSoundEffect*>())
        if (effect->source().toString().endsWith(QLatin1String("dial.wav")))
            dialTone = effect;
    QVERIFY(dialTone);

    phone->voice_action(kLoopback, peer->localPort(), 8);
    QTRY_VERIFY_WITH_TIMEOUT(dialTone->isPlaying(), 5000);
    phone->voice_action(kLoopback, peer->localPort(), 8);
    QCOMPARE(trail->state(), QStringLiteral("Офлайн"));
    QVERIFY(!dialTone->isPlaying());
}

void PhoneControlTest::weakSignalShowsBadSignalUntilTheCallEnds_data()
{
    QTest::addColumn<QString>("ending");
    QTest::newRow("operator hangs up") << QStringLiteral("hang up");
    QTest::newRow("flow stops") << QStringLiteral("time-out");
    QTest::newRow("flow recovers") << QStringLiteral("recover");
}

void PhoneControlTest::weakSignalShowsBadSignalUntilTheCallEnds()
{
    QFETCH(QString, ending);
    if (!haveSoundDevices())
        QSKIP("no sound devices");
    QTimer feed;
    connect(&feed, &QTimer::timeout, this, [this] { send(voiceDatagram()); });
    feed.start(20);
    answerIncomingCall(peer->localPort());

    feed.setInterval(250); // a fifth of the expected flow
    QTRY_COMPARE_WITH_TIMEOUT(trail->state(), QStringLiteral("Плохой сигнал"), 8000);
    QCOMPARE(trail->action(), QStringLiteral("Сброс"));
    QCOMPARE(trail->color(), QColor("#E86A6D"));

    if (ending == "hang up") {
        phone->voice_action(kLoopback, peer->localPort(), 8);
        QCOMPARE(trail->state(), QStringLiteral("Офлайн"));
    } else if (ending == "time-out") {
        feed.stop();
        QTRY_COMPARE_WITH_TIMEOUT(trail->state(), QStringLiteral("Офлайн"), 5000);
    } else {
        feed.setInterval(20);
        QTRY_COMPARE_WITH_TIMEOUT(trail->state(), QStringLiteral("Вызов"), 8000);
    }
}

QTEST_GUILESS_MAIN(PhoneControlTest)
#include "tst_phonecontrol.moc"

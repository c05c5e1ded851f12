// Two stations in one process call each other over loopback with real capture and playback
// (the test command's PulseAudio: a null sink, and a microphone hearing two steady tones).

#include "phonecontrol.h"
#include "testkit.h"

#include <QAudioInput>
#include <QtTest>

using namespace testkit;

namespace {

QAudioDeviceInfo inputNamed(const QString& name)
{
    for (const QAudioDeviceInfo& device : QAudioDeviceInfo::availableDevices(QAudio::AudioInput))
        if (device.deviceName() == name)
            return device;
    return {};
}

// Stands between the caller and the called station like the pair of modems, keeping a copy
// of every voice frame that passes.
class ModemPair : public QObject
{
public:
    ModemPair(quint16 to) : target(to)
    {
        socket.bind(kLoopback, 0);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                QByteArray datagram(int(socket.pendingDatagramSize()), '\0');
                socket.readDatagram(datagram.data(), datagram.size());
                if (!datagram.isEmpty() && (datagram.at(0) & 7) == 0)
                    frames << datagram.mid(1);
                socket.writeDatagram(datagram, kLoopback, target);
            }
        });
    }
    quint16 port() const { return socket.localPort(); }
    QList<QByteArray> frames;

private:
    QUdpSocket socket;
    quint16 target;
};

} // namespace

class VoiceCallTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void stationsRingAnswerTalkAndHangUp();
    void tonesSpokenAtOneStationAreHeardAtTheOther();

private:
    PhoneControl* caller = nullptr;
    PhoneControl* called = nullptr;
    UiTrail* callerTrail = nullptr;
    UiTrail* calledTrail = nullptr;
    quint16 callerPort = 0;
    quint16 calledPort = 0;
};

void VoiceCallTest::init()
{
    if (!haveSoundDevices())
        QSKIP("no sound devices");
    caller = new PhoneControl;
    called = new PhoneControl;
    callerTrail = new UiTrail(*caller);
    calledTrail = new UiTrail(*called);
    callerPort = freeUdpPort();
    QVERIFY(caller->bind_socket(callerPort));
    calledPort = freeUdpPort();
    QVERIFY(called->bind_socket(calledPort));
}

void VoiceCallTest::cleanup()
{
    delete calledTrail;
    delete callerTrail;
    delete called;
    delete caller;
    called = caller = nullptr;
    calledTrail = callerTrail = nullptr;
}

void VoiceCallTest::stationsRingAnswerTalkAndHangUp()
{
    QList<int> callerLevels, calledLevels;
    connect(caller, &PhoneControl::update_signal, this, [&](int level) { callerLevels << level; });
    connect(called, &PhoneControl::update_signal, this, [&](int level) { calledLevels << level; });

    caller->voice_action(kLoopback, calledPort, 8);
    QCOMPARE(callerTrail->state(), QStringLiteral("Исходящий"));
    QCOMPARE(callerTrail->action(), QStringLiteral("Сброс"));
    QTRY_COMPARE_WITH_TIMEOUT(calledTrail->state(), QStringLiteral("Входящий"), 15000);

    called->voice_action(kLoopback, callerPort, 8);
    QCOMPARE(calledTrail->state(), QStringLiteral("Вызов"));
    QTRY_COMPARE_WITH_TIMEOUT(callerTrail->state(), QStringLiteral("Вызов"), 15000);

    // Both directions carry the full flow of quality 8.
    callerLevels.clear();
    calledLevels.clear();
    QTRY_VERIFY_WITH_TIMEOUT(callerLevels.contains(4) && calledLevels.contains(4), 15000);

    caller->voice_action(kLoopback, calledPort, 8);
    QCOMPARE(callerTrail->state(), QStringLiteral("Офлайн"));
    QCOMPARE(callerTrail->color(), QColor(Qt::white));
    QTRY_COMPARE_WITH_TIMEOUT(calledTrail->state(), QStringLiteral("Офлайн"), 5000);
    QTest::qWait(300); // any datagram still on its way

    QCOMPARE(callerTrail->states(), QStringList({"Исходящий", "Вызов", "Офлайн"}));
    QCOMPARE(calledTrail->states(), QStringList({"Входящий", "Вызов", "Офлайн"}));
}

void VoiceCallTest::tonesSpokenAtOneStationAreHeardAtTheOther()
{
    const QAudioDeviceInfo loudspeaker = inputNamed(QStringLiteral("nullsink.monitor"));
    if (!microphoneHearsTestTones() || loudspeaker.isNull())
        QSKIP("needs the test command's two-tone microphone and null sink");

    // Only the called station plays: it answers towards a socket that swallows its voice,
    // so the caller stays outgoing and the loudspeaker carries the caller's voice alone.
    ModemPair modems(calledPort);
    QUdpSocket swallow;
    QVERIFY(swallow.bind(kLoopback, 0));
    caller->voice_action(kLoopback, modems.port(), 8);
    QTRY_COMPARE_WITH_TIMEOUT(calledTrail->state(), QStringLiteral("Входящий"), 15000);
    called->voice_action(kLoopback, swallow.localPort(), 8);
    QCOMPARE(calledTrail->state(), QStringLiteral("Вызов"));

    QAudioFormat format;
    format.setSampleRate(8000);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);
    QAudioInput recorder(loudspeaker, format);
    QIODevice* heard = recorder.start();
    QVERIFY(heard);
    QByteArray played;
    connect(heard, &QIODevice::readyRead, this, [&] { played += heard->readAll(); });
    const int framesBefore = modems.frames.size();
    // Three seconds, judged by the last: a freshly started sound server settles first.
    QTRY_VERIFY_WITH_TIMEOUT(played.size() >= 3 * 8000 * 2 && modems.frames.size() >= framesBefore + 150, 20000);
    recorder.stop();

    SpeexDecoder decoder;
    QVERIFY(decoder.open());
    QByteArray sent;
    for (const QByteArray& frame : modems.frames)
        sent += decoder.decode(frame);
    const QByteArray lastSecondSent = sent.right(8000 * 2);
    const QByteArray lastSecondPlayed = played.right(8000 * 2);
    QVERIFY2(carriesTestTones(lastSecondSent), describeTones(lastSecondSent));
    QVERIFY2(carriesTestTones(lastSecondPlayed), describeTones(lastSecondPlayed));
}

QTEST_GUILESS_MAIN(VoiceCallTest)
#include "tst_voicecall.moc"

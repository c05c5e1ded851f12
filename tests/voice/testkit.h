#pragma once
// Helpers shared by the voice tests: free ports, the trail of call states that a PhoneControl
// shows, and datagrams as a peer station writes them.

#include "phonecontrol.h"
#include "speexcodec.h"
#include "tone.h"

#include <QAudioDeviceInfo>
#include <QColor>
#include <QStringList>
#include <QUdpSocket>

namespace testkit {

const QHostAddress kLoopback(QHostAddress::LocalHost);

// A port that nothing is bound to right now.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::Any), 0);
    return probe.localPort();
}

// The test command's microphone hears 1000 Hz and 1600 Hz together, at equal strength.
inline bool microphoneHearsTestTones()
{
    return QAudioDeviceInfo::defaultInputDevice().deviceName() == QLatin1String("mic_1000_1600hz.monitor");
}

inline bool carriesTestTones(const QByteArray& pcm)
{
    return tone::share(pcm, 1000.0) > 0.3 && tone::share(pcm, 1600.0) > 0.3;
}

inline QByteArray describeTones(const QByteArray& pcm)
{
    return QStringLiteral("1000 Hz: %1, 1600 Hz: %2")
        .arg(tone::share(pcm, 1000.0), 0, 'f', 2)
        .arg(tone::share(pcm, 1600.0), 0, 'f', 2)
        .toUtf8();
}

inline bool haveSoundDevices()
{
    return !QAudioDeviceInfo::defaultInputDevice().isNull() && !QAudioDeviceInfo::defaultOutputDevice().isNull();
}

// Every update_ui of one PhoneControl; `states()` folds repeats of the same state.
class UiTrail
{
public:
    explicit UiTrail(PhoneControl& phone)
    {
        QObject::connect(&phone, &PhoneControl::update_ui, &context,
                         [this](const QString& action, const QString& state, const QColor& color) {
                             ++emissions;
                             if (trail.isEmpty() || trail.last() != state)
                                 trail << state;
                             last_action = action;
                             last_color = color;
                         });
    }
    QStringList states() const { return trail; }
    QString state() const { return trail.isEmpty() ? QString() : trail.last(); }
    QString action() const { return last_action; }
    QColor color() const { return last_color; }
    int count() const { return emissions; }

private:
    QObject context;
    QStringList trail;
    QString last_action;
    QColor last_color;
    int emissions = 0;
};

// One real quality-8 Speex frame of a tone, 38 bytes, as a peer's encoder writes it.
inline QByteArray speexFrame()
{
    static const QByteArray frame = [] {
        SpeexEncoder encoder;
        encoder.open(8);
        return encoder.encode(tone::sine(700.0, 160));
    }();
    return frame;
}

inline QByteArray datagram(quint8 header, const QByteArray& body = QByteArray())
{
    return QByteArray(1, char(header)) + body;
}

inline QByteArray voiceDatagram(int quality = 8)
{
    return datagram(quint8(quality << 3), speexFrame());
}

} // namespace testkit

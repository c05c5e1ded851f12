#pragma once
// Helpers shared by the voice tests: free ports, call control with the trail of states it shows,
// and voice as a peer station writes it.

#include "phonecontrol.h"
#include "speexcodec.h"

#include <QtMultimedia>
#include <QtNetwork>
#include <QtTest>

namespace testkit {

const QHostAddress kLoopback(QHostAddress::LocalHost);

inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::Any), 0);
    return probe.localPort();
}

inline bool haveSoundDevices()
{
    return !QAudioDeviceInfo::defaultInputDevice().isNull() && !QAudioDeviceInfo::defaultOutputDevice().isNull();
}

// The station's sound: 8 kHz mono 16-bit PCM, as a recorder of the loudspeaker must read it.
inline QAudioFormat voiceFormat()
{
    QAudioFormat format;
    format.setSampleRate(8000);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);
    return format;
}

// Call control bound to a free port, keeping its update_ui trail (repeats of a state folded).
struct Station
{
    Station()
    {
        QObject::connect(&phone, &PhoneControl::update_ui, &phone,
                         [this](const QString& newAction, const QString& newState, const QColor& newColor) {
                             if (state() != newState)
                                 states << newState;
                             action = newAction;
                             color = newColor;
                         });
        bound = phone.bind_socket(port);
    }
    QString state() const { return states.value(states.size() - 1); }

    QStringList states;
    QString action;
    QColor color;
    const quint16 port = freeUdpPort();
    bool bound = false;
    // Last, so it goes first: stopping its audio runs the event loop, which may still update the trail.
    PhoneControl phone;
};

// A quality-8 voice datagram as a peer station writes it: the header and 38 bytes of Speex.
inline QByteArray voiceDatagram()
{
    static const QByteArray datagram = [] {
        SpeexEncoder encoder;
        encoder.open(8);
        return QByteArray(1, char(8 << 3)) + encoder.encode(QByteArray(320, '\x10'));
    }();
    return datagram;
}

} // namespace testkit

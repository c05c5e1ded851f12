#pragma once
// The audio side of a voice call: captures the microphone in Speex frames and hands them out,
// decodes received frames to the loudspeaker, and plays the dial tone and the ringtone.

#include "speexcodec.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSoundEffect>

class QAudioInput;
class QAudioOutput;
class QIODevice;

class audioworkshop : public QObject
{
    Q_OBJECT

public:
    explicit audioworkshop(QObject* parent = nullptr);
    ~audioworkshop() override;

    bool init_input(int quality);
    bool init_output();
    void release_input();
    void release_output();
    void stop_dialtone();
    void stop_ringtone();
    QByteArray encode(const QByteArray& pcm);
    QByteArray decode(const QByteArray& bytes);

signals:
    void send_voice(const QByteArray& data);

public slots:
    void read_input_dev();
    void play_dialtone();
    void play_ringtone();
    int write_to_out(const QByteArray& data);

private:
    QAudioInput* input = nullptr;
    QAudioOutput* output = nullptr;
    // Qt deletes these itself when the sound server connection fails.
    QPointer<QIODevice> input_device;
    QPointer<QIODevice> output_device;
    QAudioFormat format;
    SpeexEncoder encoder;
    SpeexDecoder decoder;
    QByteArray captured; // capture bytes waiting for a whole frame; kept across calls
    QSoundEffect dial_tone;
    QSoundEffect ringtone;
};

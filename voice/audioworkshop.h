#pragma once
// The audio side of a voice call: captures the microphone in Speex frames and hands them out,
// decodes received frames to the loudspeaker, and plays the dial tone and the ringtone.

#include "capturepreprocessor.h"
#include "playoutclock.h"
#include "speexcodec.h"
#include "voiceplayout.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSoundEffect>
#include <QTimer>

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

    // Capture clean-up switches; they hold for every later call.
    void set_noise_suppression(bool on);
    void set_automatic_gain(bool on);
    bool noise_suppression() const { return preprocessor.noise_suppression(); }
    bool automatic_gain() const { return preprocessor.automatic_gain(); }
    // How the received voice has been played since playback opened.
    PlayoutStats playout_stats() const;

signals:
    void send_voice(const QByteArray& data);
    // A received frame has just been written to the loudspeaker.
    void frame_played(const QByteArray& frame);

public slots:
    void read_input_dev();
    void play_dialtone();
    void play_ringtone();
    int write_to_out(const QByteArray& data);

private slots:
    void play_due_periods();

private:
    void play_period(const QByteArray& pcm);

    QAudioInput* input = nullptr;
    QAudioOutput* output = nullptr;
    // Qt deletes these itself when the sound server connection fails.
    QPointer<QIODevice> input_device;
    QPointer<QIODevice> output_device;
    QAudioFormat format;
    SpeexEncoder encoder;
    SpeexDecoder decoder;
    SpeexDecoder arrival_check; // rejects a frame the decoder could not play, as it arrives
    CapturePreprocessor preprocessor;
    VoicePlayout playout;
    PlayoutClock playout_clock;
    QTimer playout_timer;
    QByteArray captured; // capture bytes waiting for a whole frame; kept across calls
    QSoundEffect dial_tone;
    QSoundEffect ringtone;
};

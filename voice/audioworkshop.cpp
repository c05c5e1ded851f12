#include "audioworkshop.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>
#include <QAudioOutput>
#include <QDebug>
#include <QUrl>
#include <utility>

namespace {

// Silence written ahead when playback opens, so a late timer tick does not starve the device.
constexpr int kPrimingPeriods = 2;
// Checked twice per period so the 20 ms clock is followed closely.
constexpr int kTimerMs = 10;

// Qt's PulseAudio streams abort the program when deleted while running, and their destructors
// spin the event loop. So a released stream is stopped at once, and deleted later from the
// event loop, never inside a call that this engine or its owner is still in the middle of.
template <typename Stream>
void retire(Stream* stream)
{
    if (!stream)
        return;
    stream->stop();
    stream->setParent(nullptr);
    stream->deleteLater();
}

} // namespace

audioworkshop::audioworkshop(QObject* parent)
    : QObject(parent)
    , playout_timer(this)
    , dial_tone(this)
    , ringtone(this)
{
    playout_timer.setTimerType(Qt::PreciseTimer);
    playout_timer.setInterval(kTimerMs);
    connect(&playout_timer, &QTimer::timeout, this, &audioworkshop::play_due_periods);

    format.setSampleRate(8000);
    format.setChannelCount(1);
    format.setSampleSize(16);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);

    dial_tone.setSource(QUrl::fromLocalFile(QStringLiteral(":/ringtones/dial.wav")));
    dial_tone.setLoopCount(1);
    dial_tone.setVolume(0.15);
    ringtone.setSource(QUrl::fromLocalFile(QStringLiteral(":/ringtones/ringtone1.wav")));
    ringtone.setLoopCount(QSoundEffect::Infinite);
    ringtone.setVolume(0.5);
}

// A call that is under way when the station closes is stopped first.
audioworkshop::~audioworkshop()
{
    release_input();
    release_output();
}

bool audioworkshop::init_input(int quality)
{
    release_input();
    if (!encoder.open(quality)) {
        release_input();
        return false;
    }
    const QAudioDeviceInfo device = QAudioDeviceInfo::defaultInputDevice();
    if (device.isNull()) {
        release_input();
        return false;
    }
    preprocessor.open(encoder.frameBytes() / 2);
    input = new QAudioInput(device, format, this);
    input->setBufferSize(encoder.frameBytes());
    input_device = input->start();
    if (!input_device) {
        release_input();
        return false;
    }
    connect(input_device, &QIODevice::readyRead, this, &audioworkshop::read_input_dev);
    qDebug("Input initialize done");
    return true;
}

bool audioworkshop::init_output()
{
    release_output();
    if (!decoder.open() || !arrival_check.open()) {
        release_output();
        return false;
    }
    const QAudioDeviceInfo device = QAudioDeviceInfo::defaultOutputDevice();
    if (device.isNull()) {
        release_output();
        return false;
    }
    // Qt's default playback buffer (250 ms here) takes a burst of late frames whole.
    output = new QAudioOutput(device, format, this);
    output_device = output->start();
    if (!output_device) {
        release_output();
        return false;
    }
    playout.reset();
    for (int i = 0; i < kPrimingPeriods; ++i)
        play_period(QByteArray(decoder.frameBytes(), '\0'));
    playout_clock.start();
    playout_timer.start();
    qDebug("Output initialize done");
    return true;
}

void audioworkshop::release_input()
{
    if (input_device)
        disconnect(input_device, &QIODevice::readyRead, this, &audioworkshop::read_input_dev);
    input_device = nullptr;
    retire(std::exchange(input, nullptr));
    encoder.close();
    preprocessor.close();
}

void audioworkshop::release_output()
{
    playout_timer.stop();
    output_device = nullptr;
    retire(std::exchange(output, nullptr));
    decoder.close();
    arrival_check.close();
    playout.reset();
}

void audioworkshop::read_input_dev()
{
    if (!input_device)
        return;
    const int frame_bytes = encoder.frameBytes();
    captured.append(input_device->read(frame_bytes));
    // One frame per notification keeps the capture paced by the device.
    if (captured.size() < frame_bytes)
        return;
    QByteArray frame = captured.left(frame_bytes);
    captured.remove(0, frame_bytes);
    preprocessor.process(frame);
    const QByteArray encoded = encode(frame);
    if (!encoded.isEmpty())
        emit send_voice(encoded);
}

QByteArray audioworkshop::encode(const QByteArray& pcm)
{
    return encoder.encode(pcm);
}

QByteArray audioworkshop::decode(const QByteArray& bytes)
{
    return decoder.decode(bytes);
}

// The frame waits in the jitter buffer for its turn on the playback clock; what is returned is
// the sound it was accepted for.
int audioworkshop::write_to_out(const QByteArray& data)
{
    if (!output_device || !decoder.isOpen())
        return 0;
    const QByteArray pcm = arrival_check.decode(data);
    if (pcm.isEmpty())
        return 0;
    playout.push(data);
    return pcm.size();
}

void audioworkshop::play_due_periods()
{
    for (int due = playout_clock.due(); due > 0 && output_device; --due) {
        const VoicePlayout::Period period = playout.next();
        QByteArray pcm;
        if (period.fill == VoicePlayout::Fill::Frame)
            pcm = decoder.decode(period.frame);
        else if (period.fill == VoicePlayout::Fill::Concealed)
            pcm = decoder.conceal();
        if (pcm.isEmpty())
            pcm = QByteArray(decoder.frameBytes(), '\0');
        play_period(pcm);
        if (period.fill == VoicePlayout::Fill::Frame)
            emit frame_played(period.frame);
    }
}

void audioworkshop::play_period(const QByteArray& pcm)
{
    if (output_device)
        output_device->write(pcm);
}

void audioworkshop::set_noise_suppression(bool on)
{
    preprocessor.set_noise_suppression(on);
}

void audioworkshop::set_automatic_gain(bool on)
{
    preprocessor.set_automatic_gain(on);
}

PlayoutStats audioworkshop::playout_stats() const
{
    return playout.stats();
}

// Stopping first makes a repeated start begin at the tone's start.
void audioworkshop::play_dialtone()
{
    dial_tone.stop();
    dial_tone.play();
}

void audioworkshop::play_ringtone()
{
    ringtone.stop();
    ringtone.play();
}

void audioworkshop::stop_dialtone()
{
    dial_tone.stop();
}

void audioworkshop::stop_ringtone()
{
    ringtone.stop();
}

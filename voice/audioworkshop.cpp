#include "audioworkshop.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>
#include <QAudioOutput>
#include <QDebug>
#include <QUrl>
#include <utility>

namespace {

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
    , dial_tone(this)
    , ringtone(this)
{
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
    if (!decoder.open()) {
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
}

void audioworkshop::release_output()
{
    output_device = nullptr;
    retire(std::exchange(output, nullptr));
    decoder.close();
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
    const QByteArray frame = captured.left(frame_bytes);
    captured.remove(0, frame_bytes);
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

int audioworkshop::write_to_out(const QByteArray& data)
{
    const QByteArray pcm = decode(data);
    if (pcm.isEmpty() || !output_device)
        return 0;
    return int(qMax<qint64>(0, output_device->write(pcm)));
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

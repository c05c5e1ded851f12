// Voice path benchmark: the Speex cost of one 20 ms frame at quality 8, and the one-way delay
// of a call between two stations over loopback, from a captured frame to its playback write.
// The delay part needs sound devices; the test command's PulseAudio provides them.

#include "audioworkshop.h"
#include "phonecontrol.h"
#include "speexcodec.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>
#include <QAudioOutput>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrameSamples = 160;
constexpr double kBytesPerMs = 16.0; // 8000 Hz, 16-bit mono

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Summary {
    double mean = 0, median = 0, p95 = 0, max = 0;
};

Summary summarise(std::vector<double> values)
{
    Summary s;
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    for (double v : values)
        s.mean += v;
    s.mean /= double(values.size());
    s.median = values[values.size() / 2];
    s.p95 = values[std::min(values.size() - 1, values.size() * 95 / 100)];
    s.max = values.back();
    return s;
}

// Voiced syllables: a 150 Hz buzz with two formant-like partials under a 4 Hz envelope, plus noise.
QByteArray speechLikeFrame(int frame)
{
    QByteArray pcm(kFrameSamples * 2, '\0');
    auto* out = reinterpret_cast<uchar*>(pcm.data());
    static quint32 noise = 12345;
    for (int i = 0; i < kFrameSamples; ++i) {
        const double t = double(frame * kFrameSamples + i) / 8000.0;
        const double envelope = 0.5 + 0.5 * std::sin(2.0 * M_PI * 4.0 * t);
        const double voiced = std::sin(2.0 * M_PI * 150.0 * t) + 0.6 * std::sin(2.0 * M_PI * 700.0 * t)
                              + 0.3 * std::sin(2.0 * M_PI * 1200.0 * t);
        noise = noise * 1664525u + 1013904223u;
        const double hiss = (double(noise >> 16) / 65535.0 - 0.5) * 0.1;
        qToLittleEndian<qint16>(qint16(6000.0 * (envelope * voiced + hiss)), out + 2 * i);
    }
    return pcm;
}

void benchCodec()
{
    SpeexEncoder encoder;
    SpeexDecoder decoder;
    if (!encoder.open(8) || !decoder.open()) {
        std::printf("codec: cannot open the Speex encoder or decoder\n");
        return;
    }
    constexpr int kFrames = 5000;
    std::vector<QByteArray> input;
    for (int f = 0; f < kFrames; ++f)
        input.push_back(speechLikeFrame(f));

    std::vector<double> encodeUs, decodeUs;
    int bytes = 0;
    for (int f = 0; f < kFrames; ++f) {
        const auto t0 = Clock::now();
        const QByteArray packed = encoder.encode(input[size_t(f)]);
        const auto t1 = Clock::now();
        decoder.decode(packed);
        const auto t2 = Clock::now();
        encodeUs.push_back(ms(t1 - t0) * 1000.0);
        decodeUs.push_back(ms(t2 - t1) * 1000.0);
        bytes = packed.size();
    }
    const Summary enc = summarise(encodeUs);
    const Summary dec = summarise(decodeUs);
    std::printf("codec, quality 8, %d frames of 20 ms, %d bytes each:\n", kFrames, bytes);
    std::printf("  encode  mean %6.1f us  median %6.1f us  p95 %6.1f us  max %6.1f us\n", enc.mean, enc.median,
                enc.p95, enc.max);
    std::printf("  decode  mean %6.1f us  median %6.1f us  p95 %6.1f us  max %6.1f us\n", dec.mean, dec.median,
                dec.p95, dec.max);
    std::printf("  both together use %.2f %% of real time\n", (enc.mean + dec.mean) / 20000.0 * 100.0);
}

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::Any), 0);
    return probe.localPort();
}

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

void benchDelay(int seconds)
{
    if (QAudioDeviceInfo::defaultInputDevice().isNull() || QAudioDeviceInfo::defaultOutputDevice().isNull()) {
        std::printf("one-way delay: skipped, no sound devices\n");
        return;
    }
    PhoneControl caller, called;
    const quint16 callerPort = freePort();
    const quint16 calledPort = freePort();
    if (!caller.bind_socket(callerPort) || !called.bind_socket(calledPort)) {
        std::printf("one-way delay: cannot bind loopback ports\n");
        return;
    }
    QString callerState, calledState;
    int calledVoice = 0;
    QObject::connect(&caller, &PhoneControl::update_ui, [&](const QString&, const QString& s, const QColor&) { callerState = s; });
    QObject::connect(&called, &PhoneControl::update_ui, [&](const QString&, const QString& s, const QColor&) {
        calledState = s;
        ++calledVoice; // one update per voice datagram
    });

    // The caller's frames in order of capture; the called station plays them in the same order.
    std::vector<Clock::time_point> captured;
    QObject::connect(caller.findChild<audioworkshop*>(), &audioworkshop::send_voice,
                     [&](const QByteArray&) { captured.push_back(Clock::now()); });
    std::vector<double> delays;
    int handled = 0;
    bool measuring = false;
    // Connected after the station's own handler, so this runs once the frame has been written.
    QObject::connect(called.findChild<QUdpSocket*>(), &QUdpSocket::readyRead, [&] {
        if (calledVoice == handled)
            return;
        handled = calledVoice;
        const size_t index = size_t(handled - 1);
        if (measuring && calledState == QStringLiteral("Вызов") && index < captured.size())
            delays.push_back(ms(Clock::now() - captured[index]));
    });

    const QHostAddress loopback(QHostAddress::LocalHost);
    caller.voice_action(loopback, calledPort, 8);
    if (!waitFor([&] { return calledState == QStringLiteral("Входящий"); }, 15000)) {
        std::printf("one-way delay: the called station never rang\n");
        return;
    }
    called.voice_action(loopback, callerPort, 8);
    --calledVoice; // that update came from the answer, not from a datagram
    handled = calledVoice;
    if (!waitFor([&] { return callerState == QStringLiteral("Вызов"); }, 15000)) {
        std::printf("one-way delay: the caller never heard the answer\n");
        return;
    }
    waitFor([] { return false; }, 1000); // let both flows settle

    auto* capture = caller.findChild<audioworkshop*>()->findChild<QAudioInput*>();
    auto* playback = called.findChild<audioworkshop*>()->findChild<QAudioOutput*>();
    std::vector<double> backlogMs, queuedMs;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (capture)
            backlogMs.push_back(capture->bytesReady() / kBytesPerMs);
        if (playback)
            queuedMs.push_back((playback->bufferSize() - playback->bytesFree()) / kBytesPerMs);
    });
    sampler.start(50);
    measuring = true;
    waitFor([] { return false; }, seconds * 1000);
    measuring = false;
    sampler.stop();

    const Summary delay = summarise(delays);
    const Summary backlog = summarise(backlogMs);
    const Summary queued = summarise(queuedMs);
    std::printf("one-way delay over loopback, quality 8, %zu frames in %d s:\n", delays.size(), seconds);
    std::printf("  captured frame -> written to the other station's output\n");
    std::printf("          mean %6.2f ms  median %6.2f ms  p95 %6.2f ms  max %6.2f ms\n", delay.mean, delay.median,
                delay.p95, delay.max);
    std::printf("  capture backlog at the caller (read one frame per notification)\n");
    std::printf("          mean %6.1f ms  max %6.1f ms\n", backlog.mean, backlog.max);
    std::printf("  playback queue at the called station (output buffer %d bytes = %.0f ms)\n",
                playback ? playback->bufferSize() : 0, playback ? playback->bufferSize() / kBytesPerMs : 0.0);
    std::printf("          mean %6.1f ms  max %6.1f ms\n", queued.mean, queued.max);
    std::printf("  station's share: 20 ms framing + backlog + path + playback queue = about %.0f ms\n",
                20.0 + backlog.mean + delay.mean + queued.mean);
    caller.voice_action(loopback, calledPort, 8);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    benchCodec();
    benchDelay(10);
    return 0;
}

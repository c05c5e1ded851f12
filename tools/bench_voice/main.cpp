// Voice path benchmark: the CPU cost of one 20 ms frame at quality 8 (with and without capture
// clean-up), and the station's share of the mouth-to-ear delay of a call between two stations
// through a relay playing each bad-link condition. The delay part needs sound devices; the test
// command's PulseAudio provides them.

#include "audioworkshop.h"
#include "capturepreprocessor.h"
#include "linkrelay.h"
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
#include <deque>
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

void benchCodec(bool cleanUp)
{
    SpeexEncoder encoder;
    SpeexDecoder decoder;
    CapturePreprocessor preprocessor;
    if (!encoder.open(8) || !decoder.open() || !preprocessor.open(kFrameSamples)) {
        std::printf("codec: cannot open the Speex encoder, decoder or preprocessor\n");
        return;
    }
    preprocessor.set_noise_suppression(cleanUp);
    preprocessor.set_automatic_gain(cleanUp);
    constexpr int kFrames = 5000;
    std::vector<QByteArray> input;
    for (int f = 0; f < kFrames; ++f)
        input.push_back(speechLikeFrame(f));

    std::vector<double> sendUs, decodeUs;
    int bytes = 0;
    for (int f = 0; f < kFrames; ++f) {
        const auto t0 = Clock::now();
        preprocessor.process(input[size_t(f)]);
        const QByteArray packed = encoder.encode(input[size_t(f)]);
        const auto t1 = Clock::now();
        decoder.decode(packed);
        const auto t2 = Clock::now();
        sendUs.push_back(ms(t1 - t0) * 1000.0);
        decodeUs.push_back(ms(t2 - t1) * 1000.0);
        bytes = packed.size();
    }
    const Summary enc = summarise(sendUs);
    const Summary dec = summarise(decodeUs);
    std::printf("codec, quality 8, %d frames of 20 ms, %d bytes each, capture clean-up %s:\n", kFrames, bytes,
                cleanUp ? "on" : "off");
    std::printf("  %s  median %6.1f us  p95 %6.1f us  mean %6.1f us\n", cleanUp ? "clean-up+encode" : "encode         ",
                enc.median, enc.p95, enc.mean);
    std::printf("  decode           median %6.1f us  p95 %6.1f us  mean %6.1f us\n", dec.median, dec.p95, dec.mean);
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

// Mouth to ear, the station's share: 20 ms of framing, the capture backlog, capture to the called
// station's playback write (network, jitter buffer, decode), and the playback queue of the device.
void benchDelay(linkrelay::Link link, const char* name, int seconds)
{
    PhoneControl caller, called;
    const quint16 callerPort = freePort();
    const quint16 calledPort = freePort();
    if (!caller.bind_socket(callerPort) || !called.bind_socket(calledPort)) {
        std::printf("%s: cannot bind loopback ports\n", name);
        return;
    }
    linkrelay::Relay relay(link, callerPort, calledPort);
    QString callerState, calledState;
    QObject::connect(&caller, &PhoneControl::update_ui, [&](const QString&, const QString& s, const QColor&) { callerState = s; });
    QObject::connect(&called, &PhoneControl::update_ui, [&](const QString&, const QString& s, const QColor&) { calledState = s; });

    auto* callerAudio = caller.findChild<audioworkshop*>();
    auto* calledAudio = called.findChild<audioworkshop*>();
    // Frames as captured; a played frame is matched to the oldest captured one with its bytes.
    std::deque<std::pair<Clock::time_point, QByteArray>> captured;
    QObject::connect(callerAudio, &audioworkshop::send_voice,
                     [&](const QByteArray& frame) { captured.emplace_back(Clock::now(), frame); });
    std::vector<double> pathMs, queueMs, backlogMs;
    bool measuring = false;
    QObject::connect(calledAudio, &audioworkshop::frame_played, [&](const QByteArray& frame) {
        const auto now = Clock::now();
        for (size_t i = 0; i < captured.size() && i < 100; ++i) {
            if (captured[i].second != frame)
                continue;
            if (measuring) {
                pathMs.push_back(ms(now - captured[i].first));
                auto* playback = calledAudio->findChild<QAudioOutput*>();
                if (playback)
                    queueMs.push_back((playback->bufferSize() - playback->bytesFree()) / kBytesPerMs);
            }
            captured.erase(captured.begin(), captured.begin() + long(i) + 1);
            break;
        }
    });

    const QHostAddress loopback(QHostAddress::LocalHost);
    caller.voice_action(loopback, relay.callerSide(), 8);
    if (!waitFor([&] { return calledState == QStringLiteral("Входящий"); }, 15000)) {
        std::printf("%s: the called station never rang\n", name);
        return;
    }
    called.voice_action(loopback, relay.calledSide(), 8);
    if (!waitFor([&] { return callerState == QStringLiteral("Вызов"); }, 15000)) {
        std::printf("%s: the caller never heard the answer\n", name);
        return;
    }
    waitFor([] { return false; }, 2000); // let the flows and the jitter buffer settle

    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (auto* capture = callerAudio->findChild<QAudioInput*>())
            backlogMs.push_back(capture->bytesReady() / kBytesPerMs);
    });
    sampler.start(50);
    const PlayoutStats before = calledAudio->playout_stats();
    int sentFrames = 0;
    const auto counter = QObject::connect(callerAudio, &audioworkshop::send_voice, [&] { ++sentFrames; });
    measuring = true;
    waitFor([] { return false; }, seconds * 1000);
    measuring = false;
    QObject::disconnect(counter);
    sampler.stop();
    const PlayoutStats after = calledAudio->playout_stats();

    const double backlog = summarise(backlogMs).mean;
    std::vector<double> shareMs;
    for (size_t i = 0; i < pathMs.size() && i < queueMs.size(); ++i)
        shareMs.push_back(20.0 + backlog + pathMs[i] + queueMs[i]);
    const Summary share = summarise(shareMs);
    const Summary path = summarise(pathMs);
    const Summary queue = summarise(queueMs);
    std::printf("%-15s share median %6.1f ms  p95 %6.1f ms | capture->write median %6.1f p95 %6.1f | device queue "
                "median %5.1f p95 %5.1f | played %d of %d sent, concealed %d, late %d, dropped %d\n",
                name, share.median, share.p95, path.median, path.p95, queue.median, queue.p95,
                after.played - before.played, sentFrames,
                after.concealed - before.concealed, after.late - before.late, after.dropped - before.dropped);
    caller.voice_action(loopback, relay.callerSide(), 8);
    called.voice_action(loopback, relay.calledSide(), 8);
    waitFor([] { return false; }, 300);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    benchCodec(false);
    benchCodec(true);
    if (QAudioDeviceInfo::defaultInputDevice().isNull() || QAudioDeviceInfo::defaultOutputDevice().isNull()) {
        std::printf("mouth to ear: skipped, no sound devices\n");
        return 0;
    }
    std::printf("mouth to ear, the station's share (framing + capture backlog + capture->playback write + device "
                "queue), quality 8, 10 s per link:\n");
    using linkrelay::Link;
    benchDelay(Link::Clean, "clean", 10);
    benchDelay(Link::Loss20, "20 % loss", 10);
    benchDelay(Link::Jitter100, "100 ms jitter", 10);
    benchDelay(Link::Bursts11, "bursts of 11", 10);
    benchDelay(Link::SwapAdjacent, "adjacent swaps", 10);
    return 0;
}

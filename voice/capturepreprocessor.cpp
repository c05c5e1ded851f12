#include "capturepreprocessor.h"

#include <QtEndian>
#include <speex/speex_preprocess.h>
#include <vector>

CapturePreprocessor::CapturePreprocessor()
    : state(nullptr, speex_preprocess_state_destroy)
{
}

CapturePreprocessor::~CapturePreprocessor() = default;

bool CapturePreprocessor::open(int samples)
{
    close();
    if (samples <= 0)
        return false;
    state.reset(speex_preprocess_state_init(samples, 8000));
    if (!state) {
        qWarning("Preprocessor create failed");
        return false;
    }
    frame_samples = samples;
    apply_switches();
    return true;
}

void CapturePreprocessor::close()
{
    state.reset();
    frame_samples = 0;
}

void CapturePreprocessor::set_noise_suppression(bool on)
{
    denoise = on;
    apply_switches();
}

void CapturePreprocessor::set_automatic_gain(bool on)
{
    agc = on;
    apply_switches();
}

void CapturePreprocessor::apply_switches()
{
    if (!state)
        return;
    int value = denoise ? 1 : 0;
    speex_preprocess_ctl(state.get(), SPEEX_PREPROCESS_SET_DENOISE, &value);
    value = agc ? 1 : 0;
    speex_preprocess_ctl(state.get(), SPEEX_PREPROCESS_SET_AGC, &value);
}

void CapturePreprocessor::process(QByteArray& pcm)
{
    if (!state || (!denoise && !agc) || pcm.size() != frame_samples * 2)
        return;
    std::vector<spx_int16_t> samples(static_cast<size_t>(frame_samples));
    auto* bytes = reinterpret_cast<uchar*>(pcm.data());
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(bytes + 2 * i);
    speex_preprocess_run(state.get(), samples.data());
    for (size_t i = 0; i < samples.size(); ++i)
        qToLittleEndian<qint16>(samples[i], bytes + 2 * i);
}


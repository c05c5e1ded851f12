#pragma once
// Cleans each captured 20 ms frame before it is encoded: noise suppression and automatic gain,
// each switched on by whoever drives the call (the chat panel does by default); off, frames pass untouched.

#include <QByteArray>
#include <memory>

struct SpeexPreprocessState_;

class CapturePreprocessor
{
public:
    CapturePreprocessor();
    ~CapturePreprocessor();
    CapturePreprocessor(const CapturePreprocessor&) = delete;
    CapturePreprocessor& operator=(const CapturePreprocessor&) = delete;

    // Starts afresh for frames of `frame_samples` samples at 8000 Hz; false when that fails.
    bool open(int frame_samples);
    void close();
    void set_noise_suppression(bool on);
    void set_automatic_gain(bool on);
    bool noise_suppression() const { return denoise; }
    bool automatic_gain() const { return agc; }

    // Processes one frame of 16-bit little-endian samples in place; anything but a whole frame stays as it is.
    void process(QByteArray& pcm);

private:
    void apply_switches();

    std::unique_ptr<SpeexPreprocessState_, void (*)(SpeexPreprocessState_*)> state;
    int frame_samples = 0;
    bool denoise = false;
    bool agc = false;
};

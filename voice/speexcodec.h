#pragma once
// Speex narrowband encoder and decoder of the voice path: one 20 ms PCM frame
// (16-bit little-endian samples) in, one packed frame out, and back again.

#include <QByteArray>
#include <speex/speex_bits.h>
#include <speex/speex_types.h>
#include <vector>

class SpeexEncoder
{
public:
    SpeexEncoder();
    ~SpeexEncoder();
    SpeexEncoder(const SpeexEncoder&) = delete;
    SpeexEncoder& operator=(const SpeexEncoder&) = delete;

    // Creates the encoder at the given quality (0..10); false and a warning when that fails.
    bool open(int quality);
    void close();
    bool isOpen() const { return state != nullptr; }
    int frameBytes() const { return frame_bytes; }

    // Encodes the first frame of `pcm` into a freshly reset bit buffer, so the result is exactly
    // one frame. Empty when closed, when `pcm` is shorter than a frame, or on failure.
    QByteArray encode(const QByteArray& pcm);

private:
    void* state = nullptr;
    SpeexBits bits;
    int frame_bytes = 0;
    std::vector<spx_int16_t> samples;
};

class SpeexDecoder
{
public:
    SpeexDecoder();
    ~SpeexDecoder();
    SpeexDecoder(const SpeexDecoder&) = delete;
    SpeexDecoder& operator=(const SpeexDecoder&) = delete;

    bool open();
    void close();
    bool isOpen() const { return state != nullptr; }
    int frameBytes() const { return frame_bytes; }

    // One frame of PCM from one packed frame; empty when closed or when the decoder rejects it.
    QByteArray decode(const QByteArray& bytes);
    // One frame of PCM made up by the decoder for a frame that never came; empty when closed.
    QByteArray conceal();

private:
    QByteArray pcm() const;

    void* state = nullptr;
    SpeexBits bits;
    int frame_bytes = 0;
    std::vector<spx_int16_t> samples;
};

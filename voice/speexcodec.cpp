#include "speexcodec.h"

#include <QDebug>
#include <QtEndian>
#include <speex/speex.h>

SpeexEncoder::SpeexEncoder()
{
    speex_bits_init(&bits);
}

SpeexEncoder::~SpeexEncoder()
{
    close();
    speex_bits_destroy(&bits);
}

bool SpeexEncoder::open(int quality)
{
    close();
    state = speex_encoder_init(&speex_nb_mode);
    if (!state) {
        qWarning("Encoder create failed");
        return false;
    }
    if (speex_encoder_ctl(state, SPEEX_SET_QUALITY, &quality) != 0) {
        qWarning("Encoder quality setup failed");
        close();
        return false;
    }
    int bitrate = 0;
    if (speex_encoder_ctl(state, SPEEX_GET_BITRATE, &bitrate) == 0)
        qDebug().noquote() << QStringLiteral("Quality %1 = bitrate %2").arg(quality).arg(bitrate);
    int frame_samples = 0;
    if (speex_encoder_ctl(state, SPEEX_GET_FRAME_SIZE, &frame_samples) != 0 || frame_samples <= 0) {
        qWarning("Encoder frame size request failed");
        close();
        return false;
    }
    samples.assign(size_t(frame_samples), 0);
    frame_bytes = frame_samples * 2;
    return true;
}

void SpeexEncoder::close()
{
    if (state)
        speex_encoder_destroy(state);
    state = nullptr;
}

QByteArray SpeexEncoder::encode(const QByteArray& pcm)
{
    if (!state)
        return {};
    if (pcm.size() < frame_bytes) {
        qDebug("Encode error!!!");
        return {};
    }
    const auto* in = reinterpret_cast<const uchar*>(pcm.constData());
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(in + 2 * i);

    // A frame never packs into more bytes than it has samples, so this always fits.
    QByteArray out(frame_bytes, '\0');
    speex_bits_reset(&bits);
    speex_encode_int(state, samples.data(), &bits);
    const int written = speex_bits_write(&bits, out.data(), out.size());
    if (written < 1) {
        qDebug("Encode error!!!");
        return {};
    }
    out.truncate(written);
    return out;
}

SpeexDecoder::SpeexDecoder()
{
    speex_bits_init(&bits);
}

SpeexDecoder::~SpeexDecoder()
{
    close();
    speex_bits_destroy(&bits);
}

bool SpeexDecoder::open()
{
    close();
    state = speex_decoder_init(&speex_nb_mode);
    if (!state) {
        qWarning("Decoder create failed");
        return false;
    }
    int frame_samples = 0;
    if (speex_decoder_ctl(state, SPEEX_GET_FRAME_SIZE, &frame_samples) != 0 || frame_samples <= 0) {
        qWarning("Decoder frame size request failed");
        close();
        return false;
    }
    samples.assign(size_t(frame_samples), 0);
    frame_bytes = frame_samples * 2;
    return true;
}

void SpeexDecoder::close()
{
    if (state)
        speex_decoder_destroy(state);
    state = nullptr;
}

QByteArray SpeexDecoder::decode(const QByteArray& bytes)
{
    if (!state)
        return {};
    speex_bits_reset(&bits);
    speex_bits_read_from(&bits, bytes.constData(), bytes.size());
    if (speex_decode_int(state, &bits, samples.data()) != 0) {
        qDebug("Decode error");
        return {};
    }
    return pcm();
}

QByteArray SpeexDecoder::conceal()
{
    if (!state)
        return {};
    if (speex_decode_int(state, nullptr, samples.data()) != 0)
        return QByteArray(frame_bytes, '\0');
    return pcm();
}

QByteArray SpeexDecoder::pcm() const
{
    QByteArray out(frame_bytes, '\0');
    auto* dst = reinterpret_cast<uchar*>(out.data());
    for (size_t i = 0; i < samples.size(); ++i)
        qToLittleEndian<qint16>(samples[i], dst + 2 * i);
    return out;
}

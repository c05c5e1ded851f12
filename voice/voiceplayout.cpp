#include "voiceplayout.h"

#include <speex/speex_jitter.h>

namespace {

constexpr int kMaxFrameBytes = 2048;
// The buffer itself resynchronises on the next frame after this many missing periods.
constexpr int kBufferResyncPeriods = 20;
// Share of late frames the delay is sized against (percent); also sets how fast old jitter is forgotten.
constexpr spx_int32_t kMaxLateRate = 20;

JitterBuffer* new_buffer()
{
    JitterBuffer* buffer = jitter_buffer_init(VoicePlayout::kFrameSamples);
    if (buffer) {
        spx_int32_t rate = kMaxLateRate;
        jitter_buffer_ctl(buffer, JITTER_BUFFER_SET_MAX_LATE_RATE, &rate);
    }
    return buffer;
}

} // namespace

VoicePlayout::VoicePlayout()
    : buffer(new_buffer(), jitter_buffer_destroy)
{
}

VoicePlayout::~VoicePlayout() = default;

void VoicePlayout::reset()
{
    buffer.reset(new_buffer());
    next_timestamp = 0;
    flowing = false;
    synced = false;
    missing_in_row = 0;
    owed_concealment = 0;
    taken = 0;
    counters = {};
}

// A datagram carries no time of its own, so frames are stamped one 20 ms step apart in order of
// arrival. A frame that comes after its stamp's turn has passed is first shown to the buffer with
// that stamp, so it learns how late the link runs and grows its delay, and then takes the first
// turn still open: the frames behind it keep their order and none is thrown away.
void VoicePlayout::push(const QByteArray& frame)
{
    if (!buffer || frame.isEmpty() || frame.size() > kMaxFrameBytes)
        return;
    ++counters.received;
    flowing = true;
    quint32 timestamp = next_timestamp;
    if (missing_in_row > kBufferResyncPeriods) {
        synced = false;
    } else if (synced) {
        const quint32 turn = quint32(jitter_buffer_get_pointer_timestamp(buffer.get()));
        if (qint32(turn - timestamp) >= kFrameSamples) {
            put(frame, timestamp);
            timestamp = turn;
            ++counters.late;
        }
    }
    put(frame, timestamp);
    next_timestamp = timestamp + kFrameSamples;
}

void VoicePlayout::put(const QByteArray& frame, quint32 timestamp)
{
    JitterBufferPacket packet{};
    packet.data = const_cast<char*>(frame.constData()); // the buffer copies it
    packet.len = spx_uint32_t(frame.size());
    packet.timestamp = timestamp;
    packet.span = kFrameSamples;
    jitter_buffer_put(buffer.get(), &packet);
}

VoicePlayout::Period VoicePlayout::next()
{
    Period period;
    if (!buffer || !flowing)
        return period;
    if (owed_concealment > 0) {
        --owed_concealment;
        fill_missing(period);
        jitter_buffer_remaining_span(buffer.get(), spx_uint32_t(owed_concealment * kFrameSamples));
        return period;
    }
    char data[kMaxFrameBytes];
    JitterBufferPacket packet{};
    packet.data = data;
    packet.len = sizeof data;
    spx_int32_t offset = 0;
    const int result = jitter_buffer_get(buffer.get(), &packet, kFrameSamples, &offset);
    synced = true;
    if (result == JITTER_BUFFER_OK) {
        ++taken;
        ++counters.played;
        missing_in_row = 0;
        period.fill = Fill::Frame;
        period.frame = QByteArray(data, int(packet.len));
    } else {
        // An insertion may ask for more than one period of made-up voice.
        if (result == JITTER_BUFFER_INSERTION && int(packet.span) > kFrameSamples)
            owed_concealment = int(packet.span) / kFrameSamples - 1;
        fill_missing(period);
    }
    jitter_buffer_tick(buffer.get());
    return period;
}

void VoicePlayout::fill_missing(Period& period)
{
    if (++missing_in_row <= kMaxConcealed) {
        period.fill = Fill::Concealed;
        ++counters.concealed;
    } else {
        period.fill = Fill::Silence;
        ++counters.silent;
    }
}

PlayoutStats VoicePlayout::stats() const
{
    PlayoutStats stats = counters;
    spx_int32_t waiting = 0;
    if (buffer)
        jitter_buffer_ctl(buffer.get(), JITTER_BUFFER_GET_AVAILABLE_COUNT, &waiting);
    stats.delay_ms = int(waiting) * kFrameSamples / 8;
    stats.dropped = qMax(0, counters.received - taken - int(waiting));
    return stats;
}

#pragma once
// Turns the received voice frames into one 20 ms playback period per clock tick through an
// adaptive jitter buffer: a received frame, a concealed one (for a few missing frames), or silence.

#include <QByteArray>
#include <memory>

struct JitterBuffer_;

struct PlayoutStats {
    int delay_ms = 0;  // received frames waiting to be played
    int received = 0;  // frames handed in
    int played = 0;    // periods that carried a received frame
    int late = 0;      // frames that came after their turn had passed
    int concealed = 0; // periods filled by the decoder's concealment
    int silent = 0;    // periods filled with silence
    int dropped = 0;   // received frames never played (the delay shrank over them)
};

class VoicePlayout
{
public:
    static constexpr int kFrameSamples = 160;
    // Beyond this many missing frames in a row, extrapolating the voice only buzzes.
    static constexpr int kMaxConcealed = 3;

    enum class Fill { Frame, Concealed, Silence };
    struct Period {
        Fill fill = Fill::Silence;
        QByteArray frame; // the received frame, for Fill::Frame
    };

    VoicePlayout();
    ~VoicePlayout();
    VoicePlayout(const VoicePlayout&) = delete;
    VoicePlayout& operator=(const VoicePlayout&) = delete;

    // Forgets every frame and all timing; the next frame starts a new flow.
    void reset();
    // One received frame, at the moment it arrived.
    void push(const QByteArray& frame);
    // The next 20 ms period; one call per tick of the playback clock.
    Period next();
    PlayoutStats stats() const;

private:
    void put(const QByteArray& frame, quint32 timestamp);
    void fill_missing(Period& period);

    std::unique_ptr<JitterBuffer_, void (*)(JitterBuffer_*)> buffer;
    quint32 next_timestamp = 0;
    bool flowing = false;     // a frame has been handed in since the last reset
    bool synced = false;      // the buffer has placed its playback pointer on the flow
    int missing_in_row = 0;   // periods in a row that had no received frame
    int owed_concealment = 0; // periods of an insertion that spans more than one
    int taken = 0;            // frames the buffer gave back
    PlayoutStats counters;
};

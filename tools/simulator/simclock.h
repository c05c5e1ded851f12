#pragma once
// Monotonic milliseconds shared by every simulated device.
// Models take the time as an argument; only the socket-facing objects read this clock.

#include <QElapsedTimer>

namespace simclock {

inline qint64 nowMs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

} // namespace simclock

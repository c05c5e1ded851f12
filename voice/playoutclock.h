#pragma once
// The 20 ms clock of voice playback: says how many periods are due from the steady time that has
// passed, catching up after a short stall of the event loop and giving up the rest of a long one.

#include <chrono>
#include <functional>

class PlayoutClock
{
public:
    using Now = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds kPeriod{20};
    // Periods played at once after a stall; more would only pile up in the device.
    static constexpr int kMaxCatchUp = 5;

    explicit PlayoutClock(Now now = &std::chrono::steady_clock::now);

    void start();
    // Periods to play now; each counts as played once returned.
    int due();

private:
    Now now;
    std::chrono::steady_clock::time_point origin;
    long long counted = 0;
};

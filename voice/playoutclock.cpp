#include "playoutclock.h"

#include <utility>

PlayoutClock::PlayoutClock(Now now)
    : now(std::move(now))
{
}

void PlayoutClock::start()
{
    origin = now();
    counted = 0;
}

int PlayoutClock::due()
{
    const long long passed = (now() - origin) / kPeriod;
    long long periods = passed - counted;
    if (periods > kMaxCatchUp) {
        periods = kMaxCatchUp;
        counted = passed - kMaxCatchUp; // a long stall is not made up
    }
    counted += periods;
    return int(periods);
}

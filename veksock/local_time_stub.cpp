// Stand-in until the clock exchange lands: the same clock only.
#include <time.h>

#include "session.h"

namespace veksock {

bool Session::localTimeOf(int64_t serverUs, int clock, int64_t& localUs) const {
    if (!sameClock_) return false;
    if (clock == CLOCK_MONOTONIC) {
        localUs = serverUs;
        return true;
    }
    timespec mono, real;
    clock_gettime(CLOCK_MONOTONIC, &mono);
    clock_gettime(CLOCK_REALTIME, &real);
    localUs = serverUs + (real.tv_sec - mono.tv_sec) * 1000000LL + (real.tv_nsec - mono.tv_nsec) / 1000;
    return true;
}

}  // namespace veksock

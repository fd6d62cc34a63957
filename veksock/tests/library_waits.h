// Waiting on the library, for the tests that run it against a real vekd.
#pragma once

#include <chrono>
#include <thread>

#include "veksock.h"

using Clock = std::chrono::steady_clock;

inline void drainErrors() {
    while (vekGetError() != 0) {
    }
}

// Fetches marker frames until `pred` accepts one or `ms` pass.
template <typename Pred>
int waitMarkers(MarkerRecord* out, int ms, Pred pred) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        const int n = vekGetMarkers(out, VEK_MAX_MARKERS);
        if (n < 0) return n;
        if (n > 0 && pred(n)) return n;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

inline int waitMarkers(MarkerRecord* out, int ms = 2000) {
    return waitMarkers(out, ms, [](int) { return true; });
}

// How vekd can stand in for a server on another machine: a frame clock that
// runs off this host's steady clock (an offset and a drift), and a link
// that holds every message for a one-way delay with jitter, both ways.
#pragma once

#include <cstdint>
#include <random>

#include "monotonic_time.h"
#include "options.h"

namespace vekd {

// The clock of the frames' generation times and of the time exchange:
// frame(t) = t + offset + drift * 1e-6 * t, t the steady clock in µs.
class ServerTime {
public:
    ServerTime() = default;
    explicit ServerTime(const Options& o) : offsetUs_(o.clockOffsetS * 1e6), driftPpm_(o.clockDriftPpm) {}

    long long at(long long steadyUs) const {
        if (offsetUs_ == 0 && driftPpm_ == 0) return steadyUs;
        return steadyUs + std::llround(offsetUs_ + driftPpm_ * 1e-6 * static_cast<double>(steadyUs));
    }
    long long now() const { return at(nowUs()); }

private:
    double offsetUs_ = 0;
    double driftPpm_ = 0;
};

// One-way delays, drawn uniformly from [delay - jitter, delay + jitter];
// the same seed gives the same delays.
class LinkDelay {
public:
    LinkDelay() = default;
    LinkDelay(const Options& o)
        : delayUs_(std::llround(o.linkDelayMs * 1000)),
          jitterUs_(std::llround(o.linkJitterMs * 1000)),
          random_(o.seed ^ 0x6c696e6bULL) {}

    bool active() const { return delayUs_ > 0; }
    // When a message that arrives (or is sent) now may go on: never before
    // the one ahead of it, so bytes keep their order.
    long long releaseUs(long long nowUs, long long& previousUs) {
        long long d = delayUs_;
        if (jitterUs_ > 0) d += std::uniform_int_distribution<long long>(-jitterUs_, jitterUs_)(random_);
        previousUs = std::max(previousUs, nowUs + d);
        return previousUs;
    }

private:
    long long delayUs_ = 0;
    long long jitterUs_ = 0;
    std::mt19937_64 random_;
};

}  // namespace vekd

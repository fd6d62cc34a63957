// Per-frame noise source: a splitmix64 stream seeded from (seed, frame), so
// a frame's noise does not depend on which frames were generated before.
#pragma once

#include <cmath>
#include <cstdint>

namespace vekd {

class FrameRandom {
public:
    FrameRandom(uint64_t seed, int32_t frame)
        : state_(
              mix(seed ^ mix(static_cast<uint64_t>(static_cast<uint32_t>(frame)) + 0x5851F42D4C957F2DULL))) {}

    uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        return mix(state_);
    }

    // Uniform in (0, 1).
    double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }

    // Standard normal deviate (Marsaglia's polar method; the second value
    // of each pair is kept for the next call).
    double gaussian() {
        if (hasSpare_) {
            hasSpare_ = false;
            return spare_;
        }
        double u, v, s;
        do {
            u = 2.0 * uniform() - 1.0;
            v = 2.0 * uniform() - 1.0;
            s = u * u + v * v;
        } while (s >= 1.0);
        const double scale = std::sqrt(-2.0 * std::log(s) / s);
        spare_ = v * scale;
        hasSpare_ = true;
        return u * scale;
    }

private:
    static uint64_t mix(uint64_t z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    uint64_t state_;
    double spare_ = 0;
    bool hasSpare_ = false;
};

}  // namespace vekd

// Noise source: splitmix64 streams keyed by (seed, frame) and, within a
// frame, by any index (the simulator keys one camera's view of one LED), so
// that a reading's noise depends neither on the frames drawn before it nor
// on which other readings of its frame are drawn at all.
#pragma once

#include <cmath>
#include <cstdint>

namespace vekd {

// The layers of the ziggurat for the standard normal distribution (128
// layers of equal area; Marsaglia and Tsang, in Doornik's form).
struct ZigguratTable {
    static constexpr int kLayers = 128;
    static constexpr double kTailStart = 3.442619855899;
    double x[kLayers + 1];  // right edge of each layer; x[0] the base's equivalent width
    double ratio[kLayers];  // x[i + 1] / x[i]: below it a draw lies inside the curve
    double f[kLayers + 1];  // exp(-x[i]^2 / 2), the curve at each edge
};
extern const ZigguratTable kZiggurat;

class FrameRandom {
public:
    FrameRandom(uint64_t seed, int32_t frame)
        : state_(
              mix(seed ^ mix(static_cast<uint64_t>(static_cast<uint32_t>(frame)) + 0x5851F42D4C957F2DULL))) {}

    // The stream of this frame's reading `index`.
    FrameRandom stream(uint64_t index) const { return FrameRandom(state_ + index * kStreamStep); }

    // A stream's states follow one another kGolden apart; streams start
    // kStreamStep apart in the states of a frame (an odd step unrelated to
    // kGolden); each state goes through mix before use.
    static constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;
    static constexpr uint64_t kStreamStep = 0xD1B54A32D192ED03ULL;
    // Spelled out for making the numbers of many streams at once: the k-th
    // number (from 0) of stream(index) is
    // mix(firstState() + index * kStreamStep + k * kGolden), with mix taking
    // a 64-bit unsigned integer or a vector of them.
    uint64_t firstState() const { return state_ + kGolden; }
    // Inlined always, so that a vector code built for another processor
    // (target attributes) never calls a copy built for the baseline.
    template <typename U>
    [[gnu::always_inline]] static U mix(U z) {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    uint64_t next() {
        state_ += kGolden;
        return mix(state_);
    }

    // Uniform in (0, 1).
    double uniform() { return (static_cast<double>(next() >> 11) + 0.5) * 0x1.0p-53; }

    // Standard normal deviate. Almost every draw takes one number: its low
    // seven bits pick a layer, the top 53 a place in it.
    double gaussian() {
        for (;;) {
            const uint64_t bits = next();
            const double u = (static_cast<double>(bits >> 11) + 0.5) * 0x1.0p-52 - 1.0;
            double value;
            if (inLayer(bits & (ZigguratTable::kLayers - 1), u, value)) return value;
        }
    }
    // Two standard normal deviates, almost always from one number: each
    // half picks a layer (low seven bits) and a place in it (25 bits).
    void gaussians(double& first, double& second) {
        const uint64_t bits = next();
        first = fromHalf(static_cast<uint32_t>(bits));
        second = fromHalf(static_cast<uint32_t>(bits >> 32));
    }

private:
    explicit FrameRandom(uint64_t state) : state_(state) {}
    double fromHalf(uint32_t half) {
        const double u = (static_cast<double>(half >> 7) + 0.5) * 0x1.0p-24 - 1.0;
        double value;
        return inLayer(half & (ZigguratTable::kLayers - 1), u, value) ? value : gaussian();
    }
    // The deviate at place u (-1..1) of a layer, unless the place lies
    // outside the curve: then false, to draw again.
    bool inLayer(unsigned layer, double u, double& value) {
        if (std::fabs(u) >= kZiggurat.ratio[layer]) return outsideTheCore(layer, u, value);
        value = u * kZiggurat.x[layer];
        return true;
    }
    // A place outside a layer's rectangle: a draw from the tail below the
    // base layer, or kept when under the curve's edge.
    bool outsideTheCore(unsigned layer, double u, double& value);

    uint64_t state_;
};

}  // namespace vekd

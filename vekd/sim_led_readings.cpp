#include "sim_led_readings.h"

#include <algorithm>
#include <atomic>

namespace vekd {

namespace {

// Four lanes, one per LED of a group. Written with GCC's vector types, the
// same source becomes AVX2 code in a function built for AVX2 and pairs of
// SSE2 instructions in the baseline one. No FMA: each product is rounded
// on its own, as in the scalar code.
using F64x4 = double __attribute__((vector_size(32)));
using I64x4 = int64_t __attribute__((vector_size(32)));
using U64x4 = uint64_t __attribute__((vector_size(32)));
using U32x8 = uint32_t __attribute__((vector_size(32)));
using U32x4 = uint32_t __attribute__((vector_size(16)));
using I32x4 = int32_t __attribute__((vector_size(16)));
using F32x4 = float __attribute__((vector_size(16)));

using F64x2 = double __attribute__((vector_size(16)));

using Sums = Lanes[PlaneSums::kSums];

struct Group {
    const LedReadings::Slot* slots;  // per camera
    const uint8_t* seen;             // per camera
    const LedReadings::CameraLines* lines;
    const uint64_t* cameraSteps;
    const LedReadings::Layer* layers;
    int cameraCount;
    int firstLed;
    unsigned lanes;
    double noise;
};

template <typename V>
[[gnu::always_inline]] inline V load(const double* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

[[gnu::always_inline]] inline F64x4 masked(F64x4 v, I64x4 mask) { return (F64x4)((I64x4)v & mask); }

[[gnu::always_inline]] inline I64x4 laneMask(unsigned lanes) { return (I64x4{1, 2, 4, 8} & int64_t(lanes)) != 0; }

// FrameRandom::fromHalf's first try, lane by lane: the deviate where the
// half's place lies inside its layer; `outside` marks the lanes where it
// does not.
[[gnu::always_inline]] inline F64x4 deviates(const LedReadings::Layer* layers, U32x4 halves, I64x4& outside) {
    const I32x4 place = (I32x4)(halves >> 7);
    const F64x4 u = (__builtin_convertvector(place, F64x4) + 0.5) * 0x1.0p-24 - 1.0;
    const U32x4 layer = halves & (ZigguratTable::kLayers - 1);
    // Each lane's layer as (ratio, width), turned into a vector of ratios
    // and one of widths.
    const F64x2 e0 = load<F64x2>(layers[layer[0]].edges), e1 = load<F64x2>(layers[layer[1]].edges);
    const F64x2 e2 = load<F64x2>(layers[layer[2]].edges), e3 = load<F64x2>(layers[layer[3]].edges);
    const F64x4 e02 = __builtin_shufflevector(e0, e2, 0, 1, 2, 3), e13 = __builtin_shufflevector(e1, e3, 0, 1, 2, 3);
    const F64x4 ratio = __builtin_shufflevector(e02, e13, 0, 4, 2, 6);
    const F64x4 width = __builtin_shufflevector(e02, e13, 1, 5, 3, 7);
    const F64x4 size = masked(u, I64x4{} + INT64_MAX);  // |u|
    outside |= size >= ratio;
    return u * width;
}

// LedReadings::read, lane by lane, for the draws that stayed inside their
// layers.
[[gnu::always_inline]] inline F64x4 reading(F64x4 exact, double noise, F64x4 deviate) {
    const F64x4 zero = {}, one = zero + 1.0;
    F64x4 pos = exact + noise * deviate;
    pos = pos < zero ? zero : (one < pos ? one : pos);
    return __builtin_convertvector(__builtin_convertvector(pos, F32x4), F64x4);
}

// The reading planes of one detector of one camera (its coefficients `l`),
// added to that detector's sums; with kMasked, lanes outside `mask` add
// nothing.
template <bool kMasked>
[[gnu::always_inline]] inline void addPlanes(const double (*l)[LedReadings::kLanes], F64x4 pos, I64x4 mask,
                                             F64x4 sums[PlaneSums::kSums]) {
    auto keep = [&](F64x4 v) { return kMasked ? masked(v, mask) : v; };
    const auto c = [&](int k) { return load<F64x4>(l[k]); };
    const F64x4 x = keep(c(0) + c(3) * pos);
    const F64x4 y = keep(c(1) + c(4) * pos);
    const F64x4 z = keep(c(2) + c(5) * pos);
    const F64x4 offset = keep(c(6) + c(7) * pos);
    const F64x4 weight = keep(1.0 / (c(8) + pos * (c(9) + pos * c(10))));
    const F64x4 wx = x * weight, wy = y * weight, wz = z * weight;
    sums[0] += wx * x;
    sums[1] += wx * y;
    sums[2] += wx * z;
    sums[3] += wy * y;
    sums[4] += wy * z;
    sums[5] += wz * z;
    sums[6] += wx * offset;
    sums[7] += wy * offset;
    sums[8] += wz * offset;
    sums[9] += weight * offset * offset;
}

// One camera's readings of the group's four LEDs: the readings, and the
// lanes of `seen` whose draws left their layers.
[[gnu::always_inline]] inline unsigned readCamera(const Group& g, int c, unsigned seen, U64x4 states,
                                                  F64x4 readings[2]) {
    const U32x8 bits = (U32x8)FrameRandom::mix(states);
    I64x4 outside = {};
    const F64x4 deviate[2] = {deviates(g.layers, __builtin_shufflevector(bits, bits, 0, 2, 4, 6), outside),
                              deviates(g.layers, __builtin_shufflevector(bits, bits, 1, 3, 5, 7), outside)};
    for (int d = 0; d < 2; ++d) readings[d] = reading(load<F64x4>(g.slots[c].pos[d]), g.noise, deviate[d]);
    outside &= laneMask(seen);
    return static_cast<unsigned>((outside[0] & 1) | (outside[1] & 2) | (outside[2] & 4) | (outside[3] & 8));
}

[[gnu::always_inline]] inline void sumGroup(const Group& g, const FrameRandom& random,
                                            Sums out[LedReadings::kLanes]) {
    constexpr int kBatch = 64;  // cameras
    F64x4 readings[kBatch][2];
    struct Again {
        int camera;
        unsigned lanes;
    } again[kBatch];
    F64x4 sums[2][PlaneSums::kSums] = {};
    const U64x4 ledSteps = (U64x4{0, 1, 2, 3} + static_cast<uint64_t>(g.firstLed)) * FrameRandom::kStreamStep;
    const uint64_t first = random.firstState();
    // A batch of cameras' readings, then the few whose draws left their
    // layers (a list, added to without a branch) again the scalar way, then
    // the planes: no branch on the rare draws in the loops that do the work.
    for (int batch = 0; batch < g.cameraCount; batch += kBatch) {
        const int end = std::min(g.cameraCount, batch + kBatch);
        int redo = 0;
        for (int c = batch; c < end; ++c) {
            const unsigned seen = g.seen[c] & g.lanes;
            if (seen == 0) continue;
            const unsigned outside =
                readCamera(g, c, seen, ledSteps + (first + g.cameraSteps[c]), readings[c - batch]);
            again[redo] = {c, outside};
            redo += outside != 0;
        }
        for (int k = 0; k < redo; ++k) {
            const int c = again[k].camera;
            for (unsigned lanes = again[k].lanes; lanes != 0; lanes &= lanes - 1) {
                const int lane = __builtin_ctz(lanes);
                const double exact[2] = {g.slots[c].pos[0][lane], g.slots[c].pos[1][lane]};
                float pos[2];
                LedReadings::read(random, c, g.firstLed + lane, exact, g.noise, pos);
                readings[c - batch][0][lane] = pos[0];
                readings[c - batch][1][lane] = pos[1];
            }
        }
        for (int c = batch; c < end; ++c) {
            const unsigned seen = g.seen[c] & g.lanes;
            if (seen == 0) continue;
            const I64x4 mask = laneMask(seen);
            for (int d = 0; d < 2; ++d) {
                if (seen == (1u << LedReadings::kLanes) - 1)
                    addPlanes<false>(g.lines[c].c[d], readings[c - batch][d], mask, sums[d]);
                else
                    addPlanes<true>(g.lines[c].c[d], readings[c - batch][d], mask, sums[d]);
            }
        }
    }
    for (int lane = 0; lane < LedReadings::kLanes; ++lane)
        for (int k = 0; k < PlaneSums::kSums; ++k) out[lane][k] = Lanes{sums[0][k][lane], sums[1][k][lane]};
}

void sumBaseline(const Group& g, const FrameRandom& random, Sums out[LedReadings::kLanes]) {
    sumGroup(g, random, out);
}

__attribute__((target("avx2"))) void sumAvx2(const Group& g, const FrameRandom& random,
                                             Sums out[LedReadings::kLanes]) {
    sumGroup(g, random, out);
}

using SumCode = void (*)(const Group&, const FrameRandom&, Sums[LedReadings::kLanes]);

SumCode bestCode() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? sumAvx2 : sumBaseline;
}

std::atomic<SumCode>& sumCode() {
    static std::atomic<SumCode> code{bestCode()};
    return code;
}

}  // namespace

LedReadings::LedReadings(size_t ledCount, const std::vector<CameraModel>& calibration, double noise)
    : cameraCount_(static_cast<int>(calibration.size())),
      groupCount_(static_cast<int>((ledCount + kLanes - 1) / kLanes)),
      noise_(noise),
      slots_(static_cast<size_t>(groupCount_) * calibration.size()),
      seen_(slots_.size(), 0),
      cameras_(ledCount, 0) {
    for (size_t c = 0; c < calibration.size(); ++c) {
        const CameraModel::ReadingLines& l = calibration[c].readingLines();
        CameraLines lines;
        for (int d = 0; d < 2; ++d) {
            const double coefficients[kCoefficients] = {l.x[d],      l.y[d],           l.z[d],
                                                        l.xSlope[d], l.ySlope[d],      l.zSlope[d],
                                                        l.offset[d], l.offsetSlope[d], l.square[d],
                                                        l.squareSlope[d], l.squareCurve[d]};
            for (int k = 0; k < kCoefficients; ++k)
                for (double& lane : lines.c[d][k]) lane = coefficients[k];
        }
        lines_.push_back(lines);
        cameraSteps_.push_back((static_cast<uint64_t>(c) << 32) * FrameRandom::kStreamStep);
    }
    for (int i = 0; i < ZigguratTable::kLayers; ++i) layers_[i] = {{kZiggurat.ratio[i], kZiggurat.x[i]}};
    // Lanes without a view still compute (and add nothing): with a place
    // on the detector, their arithmetic stays finite.
    for (Slot& slot : slots_)
        for (auto& detector : slot.pos)
            for (double& pos : detector) pos = 0.5;
}

void LedReadings::add(int led, int camera, const double pos[2]) {
    const size_t at = static_cast<size_t>(led / kLanes) * cameraCount_ + camera;
    const int lane = led % kLanes;
    slots_[at].pos[0][lane] = pos[0];
    slots_[at].pos[1][lane] = pos[1];
    seen_[at] |= static_cast<uint8_t>(1u << lane);
    ++cameras_[led];
}

void LedReadings::clear(int led) {
    const size_t first = static_cast<size_t>(led / kLanes) * cameraCount_;
    const auto keep = static_cast<uint8_t>(~(1u << (led % kLanes)));
    for (int c = 0; c < cameraCount_; ++c) seen_[first + c] &= keep;
    cameras_[led] = 0;
}

void LedReadings::sum(int group, unsigned lanes, const FrameRandom& random, PlaneSums sums[kLanes],
                      int cameras[kLanes]) const {
    const size_t first = static_cast<size_t>(group) * cameraCount_;
    const Group g{slots_.data() + first, seen_.data() + first, lines_.data(), cameraSteps_.data(), layers_.data(),
                  cameraCount_,          group * kLanes,       lanes,         noise_};
    Sums out[kLanes];
    sumCode().load(std::memory_order_relaxed)(g, random, out);
    for (int lane = 0; lane < kLanes; ++lane) {
        const int led = group * kLanes + lane;
        cameras[lane] = led < static_cast<int>(cameras_.size()) ? cameras_[led] : 0;
        sums[lane] = PlaneSums(out[lane], 2 * cameras[lane]);
    }
}

void LedReadings::read(const FrameRandom& random, int camera, int led, const double exact[2], double noise,
                       float pos[2]) {
    FrameRandom stream = random.stream((static_cast<uint64_t>(camera) << 32) | static_cast<uint32_t>(led));
    double deviates[2];
    stream.gaussians(deviates[0], deviates[1]);
    for (int d = 0; d < 2; ++d) pos[d] = static_cast<float>(std::clamp(exact[d] + noise * deviates[d], 0.0, 1.0));
}

void LedReadings::use(Code code) { sumCode().store(code == Code::Best ? bestCode() : sumBaseline); }

}  // namespace vekd

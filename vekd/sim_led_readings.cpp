#include "sim_led_readings.h"

#include <algorithm>
#include <atomic>

#include "sim_random_lanes.h"

namespace vekd {

namespace {

using namespace lanes;
using F32x4 = float __attribute__((vector_size(16)));
using Sums = Lanes[PlaneSums::kSums];

struct Group {
    const LedReadings::Slot* slots;  // per camera
    const uint8_t* seen;             // per camera
    const LedReadings::CameraLines* lines;
    const uint64_t* cameraSteps;
    const Layers* layers;
    int cameraCount;
    int firstLed;
    unsigned lanes;
    double noise;
};

// LedReadings::read, lane by lane, from the deviates.
[[gnu::always_inline]] inline void readings(const F64x4 exact[2], double noise, const F64x4 deviates[2],
                                            F64x4 out[2]) {
    const F64x4 zero = {}, one = zero + 1.0;
    for (int d = 0; d < 2; ++d) {
        F64x4 pos = exact[d] + noise * deviates[d];
        pos = pos < zero ? zero : (one < pos ? one : pos);
        out[d] = __builtin_convertvector(__builtin_convertvector(pos, F32x4), F64x4);
    }
}

// The reading planes of one detector of one camera (its coefficients `l`),
// added to that detector's sums; with kMasked, lanes outside `mask` add
// +0, which leaves a sum as it was (sums start at +0 and never become -0).
template <bool kMasked>
[[gnu::always_inline]] inline void addPlanes(const double (*l)[LedReadings::kLanes], F64x4 pos, I64x4 mask,
                                             F64x4 sums[PlaneSums::kSums]) {
    // Lambdas, like any function not inlined, would be built for the
    // baseline processor and take vectors another way than this code.
    auto keep = [&](F64x4 v) __attribute__((always_inline)) {
        return kMasked ? (F64x4)((I64x4)v & mask) : v;
    };
    const auto c = [&](int k) __attribute__((always_inline)) { return load<F64x4>(l[k]); };
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

[[gnu::always_inline]] inline void sumGroup(const Group& g, const FrameRandom& random,
                                            Sums out[LedReadings::kLanes]) {
    constexpr int kBatch = 64;  // cameras
    constexpr int kLanes = LedReadings::kLanes;
    struct Step {  // a camera's readings of the group, some lanes of them
        int camera;
        unsigned lanes;
    };
    struct Reading {
        int camera, lane;
    };
    F64x4 read[kBatch][2];
    Step outside[kBatch];
    Reading again[kBatch * kLanes], scalar[kBatch * kLanes];
    F64x4 sums[2][PlaneSums::kSums] = {};
    const U64x4 ledSteps = (U64x4{0, 1, 2, 3} + static_cast<uint64_t>(g.firstLed)) * FrameRandom::kStreamStep;
    const uint64_t first = random.firstState();
    // A batch of cameras' readings; then, four at a time, again those where
    // a draw left its layer; the few of them the lanes cannot decide the
    // scalar way; then the planes. Lists grow without a branch: the loops
    // that do the work never branch on the rare draws.
    for (int batch = 0; batch < g.cameraCount; batch += kBatch) {
        const int end = std::min(g.cameraCount, batch + kBatch);
        int outsideCount = 0, againCount = 0, scalarCount = 0;
        for (int c = batch; c < end; ++c) {
            const unsigned seen = g.seen[c] & g.lanes;
            if (seen == 0) continue;
            F64x4 deviates[2];
            const unsigned left =
                gaussians(*g.layers, ledSteps + (first + g.cameraSteps[c]), deviates) & seen;
            const F64x4 exact[2] = {load<F64x4>(g.slots[c].pos[0]), load<F64x4>(g.slots[c].pos[1])};
            readings(exact, g.noise, deviates, read[c - batch]);
            outside[outsideCount] = {c, left};
            outsideCount += left != 0;
        }
        for (int k = 0; k < outsideCount; ++k) {
            for (int lane = 0; lane < kLanes; ++lane) {
                again[againCount] = {outside[k].camera, lane};
                againCount += (outside[k].lanes >> lane) & 1;
            }
        }
        for (int k = 0; k < againCount; k += kLanes) {
            U64x4 states;
            F64x4 exact[2];
            for (int j = 0; j < kLanes; ++j) {
                const Reading& r = again[std::min(k + j, againCount - 1)];
                states[j] = first + g.cameraSteps[r.camera] +
                            static_cast<uint64_t>(g.firstLed + r.lane) * FrameRandom::kStreamStep;
                exact[0][j] = g.slots[r.camera].pos[0][r.lane];
                exact[1][j] = g.slots[r.camera].pos[1][r.lane];
            }
            F64x4 deviates[2], pos[2];
            const unsigned left = gaussiansOutside(*g.layers, states, deviates);
            readings(exact, g.noise, deviates, pos);
            for (int j = 0; j < kLanes && k + j < againCount; ++j) {
                const Reading& r = again[k + j];
                read[r.camera - batch][0][r.lane] = pos[0][j];
                read[r.camera - batch][1][r.lane] = pos[1][j];
                scalar[scalarCount] = r;
                scalarCount += (left >> j) & 1;
            }
        }
        for (int k = 0; k < scalarCount; ++k) {
            const Reading& r = scalar[k];
            const double exact[2] = {g.slots[r.camera].pos[0][r.lane], g.slots[r.camera].pos[1][r.lane]};
            float pos[2];
            LedReadings::read(random, r.camera, g.firstLed + r.lane, exact, g.noise, pos);
            read[r.camera - batch][0][r.lane] = pos[0];
            read[r.camera - batch][1][r.lane] = pos[1];
        }
        // One detector after the other: its sums stay in registers.
        for (int d = 0; d < 2; ++d) {
            F64x4 detectorSums[PlaneSums::kSums];
            for (int k = 0; k < PlaneSums::kSums; ++k) detectorSums[k] = sums[d][k];
            for (int c = batch; c < end; ++c) {
                const unsigned seen = g.seen[c] & g.lanes;
                if (seen == (1u << LedReadings::kLanes) - 1)
                    addPlanes<false>(g.lines[c].c[d], read[c - batch][d], I64x4{}, detectorSums);
                else if (seen != 0)
                    addPlanes<true>(g.lines[c].c[d], read[c - batch][d], maskOf(seen), detectorSums);
            }
            for (int k = 0; k < PlaneSums::kSums; ++k) sums[d][k] = detectorSums[k];
        }
    }
    for (int lane = 0; lane < LedReadings::kLanes; ++lane)
        for (int k = 0; k < PlaneSums::kSums; ++k)
            out[lane][k] = vekd::Lanes{sums[0][k][lane], sums[1][k][lane]};
}

// The same source for each processor: with AVX-512 (VL, DQ) the vectors
// stay four lanes wide but 64-bit products take one instruction. No FMA in
// any (this file is built with -ffp-contract=off): every product is
// rounded on its own, as in the scalar code.
void sumBaseline(const Group& g, const FrameRandom& random, Sums out[LedReadings::kLanes]) {
    sumGroup(g, random, out);
}

__attribute__((target("avx2"))) void sumAvx2(const Group& g, const FrameRandom& random,
                                             Sums out[LedReadings::kLanes]) {
    sumGroup(g, random, out);
}

__attribute__((target("avx512f,avx512dq,avx512vl"))) void sumAvx512(const Group& g, const FrameRandom& random,
                                                                    Sums out[LedReadings::kLanes]) {
    sumGroup(g, random, out);
}

using SumCode = void (*)(const Group&, const FrameRandom&, Sums[LedReadings::kLanes]);

SumCode codeOf(LedReadings::Code code) {
    switch (code) {
        case LedReadings::Code::Avx512:
            return sumAvx512;
        case LedReadings::Code::Avx2:
            return sumAvx2;
        case LedReadings::Code::Baseline:
            break;
    }
    return sumBaseline;
}

std::atomic<SumCode>& sumCode() {
    static std::atomic<SumCode> code{codeOf(LedReadings::bestCode())};
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
            const double coefficients[kCoefficients] = {
                l.x[d],      l.y[d],           l.z[d],      l.xSlope[d],      l.ySlope[d],     l.zSlope[d],
                l.offset[d], l.offsetSlope[d], l.square[d], l.squareSlope[d], l.squareCurve[d]};
            for (int k = 0; k < kCoefficients; ++k)
                for (double& lane : lines.c[d][k]) lane = coefficients[k];
        }
        lines_.push_back(lines);
        cameraSteps_.push_back((static_cast<uint64_t>(c) << 32) * FrameRandom::kStreamStep);
    }
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
    static const lanes::Layers layers;
    const Group g{slots_.data() + first,
                  seen_.data() + first,
                  lines_.data(),
                  cameraSteps_.data(),
                  &layers,
                  cameraCount_,
                  group * kLanes,
                  lanes,
                  noise_};
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
    for (int d = 0; d < 2; ++d)
        pos[d] = static_cast<float>(std::clamp(exact[d] + noise * deviates[d], 0.0, 1.0));
}

bool LedReadings::runs(Code code) {
    __builtin_cpu_init();
    switch (code) {
        case Code::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                   __builtin_cpu_supports("avx512vl");
        case Code::Avx2:
            return __builtin_cpu_supports("avx2");
        case Code::Baseline:
            break;
    }
    return true;
}

LedReadings::Code LedReadings::bestCode() {
    for (const Code code : {Code::Avx512, Code::Avx2})
        if (runs(code)) return code;
    return Code::Baseline;
}

void LedReadings::use(Code code) { sumCode().store(codeOf(runs(code) ? code : bestCode())); }

}  // namespace vekd

// The readings that place the LEDs, made four LEDs at a time. The LEDs, by
// index, form groups of four; a group keeps the exact detector positions of
// its LEDs in every calibrated camera that sees them. Per frame a group's
// readings (noise, reading planes, the planes' sums) are made for its four
// LEDs at once, camera by camera, in vector registers: AVX-512 or AVX2
// where the processor has it, else the x86-64 baseline. Lane by lane the
// arithmetic is that of FrameRandom::gaussians, CameraModel::readingPlanes
// and PlaneSums::add(PlanePair), step for step, so the sums are the very
// ones that adding each LED's planes one camera after another gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim_camera.h"
#include "sim_random.h"
#include "sim_triangulation.h"

namespace vekd {

class LedReadings {
public:
    static constexpr int kLanes = 4;
    // The codes that make the readings: for any x86-64, for AVX2, for
    // AVX-512 (F, DQ, VL).
    enum class Code { Baseline, Avx2, Avx512 };

    LedReadings() = default;
    // Readings of `ledCount` LEDs with noise of deviation `noise` (detector
    // lengths), turned into planes through `calibration` (per camera).
    LedReadings(size_t ledCount, const std::vector<CameraModel>& calibration, double noise);

    // LED `led` is seen by calibrated camera `camera` at the exact
    // positions `pos`, until clear(led).
    void add(int led, int camera, const double pos[2]);
    void clear(int led);

    int groups() const { return groupCount_; }
    // The sums of the planes of this frame's readings of the LEDs of group
    // `group` whose lanes are set in `lanes` (bit i: LED kLanes * group + i),
    // and the number of cameras that read each; the readings of LED i by
    // camera c draw their noise from random.stream((c << 32) | i).
    void sum(int group, unsigned lanes, const FrameRandom& random, PlaneSums sums[kLanes],
             int cameras[kLanes]) const;

    // Camera `camera`'s reading of LED `led` (indexes), both detectors: the
    // exact positions moved by noise of deviation `noise` drawn from the
    // reading's own stream, kept on the detector, as floats (what a peak
    // carries).
    static void read(const FrameRandom& random, int camera, int led, const double exact[2], double noise,
                     float pos[2]);

    // Whether the processor runs the code; the best code it runs (what
    // sum() uses unless told otherwise).
    static bool runs(Code code);
    static Code bestCode();
    // Makes sum() use the code (the best one when the processor does not
    // run it), so that tests can hold every code to the same results.
    static void use(Code code);

    // A camera's reading lines as sum() takes them: per detector the
    // coefficients in CameraModel::ReadingLines' order, each once per lane.
    static constexpr int kCoefficients = 11;
    struct CameraLines {
        double c[2][kCoefficients][kLanes];
    };

    // The exact positions of the group's LEDs in one camera, per detector.
    struct Slot {
        double pos[2][kLanes];
    };

private:
    int cameraCount_ = 0;
    int groupCount_ = 0;
    double noise_ = 0;
    std::vector<CameraLines> lines_;     // per camera
    std::vector<uint64_t> cameraSteps_;  // per camera: its streams' offset, (c << 32) * step
    std::vector<Slot> slots_;            // per group and camera
    std::vector<uint8_t> seen_;          // per group and camera: the lanes it sees
    std::vector<int> cameras_;           // per LED: the cameras that see it
};

}  // namespace vekd
